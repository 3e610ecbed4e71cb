#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_streamServer.h"
#include "TAVO_mgr_streamSocket.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

constexpr int videoPid = 0x100;
constexpr int soundPid = 0x101;
constexpr int pmtPid = 0x1000;

QByteArray packet(int pid, bool unitStart, const QByteArray &payload, qint64 pcr = -1)
{
    QByteArray p(4, '\0');
    p[0] = 0x47;
    p[1] = char((unitStart ? 0x40 : 0) | (pid >> 8));
    p[2] = char(pid & 0xff);
    p[3] = char(pcr >= 0 ? 0x30 : 0x10);
    if (pcr >= 0)
        p += QByteArray::fromHex("0710") + QByteArray(1, char(pcr >> 25)) + char(pcr >> 17) + char(pcr >> 9)
             + char(pcr >> 1) + char(((pcr & 1) << 7) | 0x7e) + '\0';
    return (p + payload).leftJustified(TAVO_mgr_tsEntry::packetSize, char(0xff));
}

QByteArray stamp(qint64 ticks)
{
    return QByteArray(1, char(0x21 | ((ticks >> 29) & 0x0e))) + char(ticks >> 22) + char(((ticks >> 14) & 0xfe) | 1)
           + char(ticks >> 7) + char(((ticks << 1) & 0xfe) | 1);
}

QByteArray pes(int streamId, qint64 pts, const QByteArray &elementary)
{
    return QByteArray::fromHex("000001") + char(streamId) + QByteArray::fromHex("00008080") + char(5) + stamp(pts)
           + elementary;
}

const QByteArray pat = packet(0, true, QByteArray::fromHex("0000b00d0001c100000001f000") + QByteArray(4, '\0'));
const QByteArray pmt = packet(pmtPid, true, QByteArray::fromHex("0002b0170001c10000e100f00002e100f0000fe101f000")
                                                + QByteArray(4, '\0'));
const QByteArray keyPicture = packet(videoPid, true, pes(0xe0, 90000, QByteArray::fromHex("000001b3500002d0")), 20000);
const QByteArray laterPicture = packet(videoPid, true, pes(0xe0, 93003, QByteArray::fromHex("0000010000")), 23000);
const QByteArray pictureRest = packet(videoPid, false, QByteArray(100, 'v'));
const QByteArray sound = packet(soundPid, true, pes(0xc0, 72000, QByteArray("sound")));

// A stream source that answers every request with its bytes and keeps the connection open.
class StreamSource : public QObject
{
public:
    explicit StreamSource(const QByteArray &bytes)
        : bytes(bytes)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            ++requests;
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: video/mp2t\r\n\r\n" + this->bytes);
            });
        });
    }

    TAVO_SERVER box() const
    {
        TAVO_SERVER server;
        server.device.UDN = QStringLiteral("uuid:source-%1").arg(this->server.serverPort());
        server.device.friendlyName = QStringLiteral("Source");
        server.host = QStringLiteral("127.0.0.1");
        server.tavoStreamer.streamingPort = QString::number(this->server.serverPort());
        return server;
    }

    QTcpServer server;
    QByteArray bytes;
    int requests = 0;
};

QByteArray firstPackets(const QByteArray &bytes, int count)
{
    return bytes.left(count * TAVO_mgr_tsEntry::packetSize);
}

} // namespace

class tst_boxStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readerStartsAtTheTablesAndAPictureThatDecodesAlone_data();
    void readerStartsAtTheTablesAndAPictureThatDecodesAlone();
    void readersOfOneBoxShareOneConnection();
    void clockMovesToThePictures();
    void playerAddressServesTheStream();
    void clientThatFallsBehindIsDroppedAlone();
    void playerAddressTakesAFewConnections();
};

void tst_boxStream::readerStartsAtTheTablesAndAPictureThatDecodesAlone_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("tables, then a key picture") << pat + pmt + keyPicture + pictureRest;
    QTest::newRow("sound first") << sound + sound + pat + pmt + sound + keyPicture + pictureRest;
    QTest::newRow("programme table late") << pat + laterPicture + keyPicture + pmt + laterPicture + keyPicture
                                                 + pictureRest;
    QTest::newRow("no picture start yet") << pat + pmt + pictureRest + laterPicture + pictureRest + sound + keyPicture
                                                 + pictureRest;
    QTest::newRow("a lost byte between packets") << pat + pmt + "x" + sound + keyPicture + pictureRest;
}

void tst_boxStream::readerStartsAtTheTablesAndAPictureThatDecodesAlone()
{
    QFETCH(QByteArray, start);
    StreamSource source(start);
    QByteArray got;
    TAVO_mgr_streamTap *tap = TAVO_mgr_boxStream::of(source.box())->join(this);
    connect(tap, &TAVO_mgr_streamTap::packets, this, [&got](const QByteArray &packets) { got += packets; });

    QTRY_VERIFY(got.size() >= 4 * TAVO_mgr_tsEntry::packetSize);
    QCOMPARE(firstPackets(got, 4), pat + pmt + keyPicture + pictureRest);
    delete tap;
}

void tst_boxStream::readersOfOneBoxShareOneConnection()
{
    StreamSource source(pat + pmt + sound + keyPicture + pictureRest + laterPicture);
    QByteArray first;
    QByteArray second;
    TAVO_mgr_boxStream *stream = TAVO_mgr_boxStream::of(source.box());
    TAVO_mgr_streamTap *one = stream->join(this);
    connect(one, &TAVO_mgr_streamTap::packets, this, [&first](const QByteArray &packets) { first += packets; });
    QTRY_VERIFY(!first.isEmpty());

    // A later reader starts at once, at the newest entry point the first one had.
    TAVO_mgr_streamTap *two = TAVO_mgr_boxStream::of(source.box())->join(this);
    connect(two, &TAVO_mgr_streamTap::packets, this, [&second](const QByteArray &packets) { second += packets; });
    QTRY_VERIFY(!second.isEmpty());
    QCOMPARE(second, pat + pmt + keyPicture + pictureRest + laterPicture);
    QCOMPARE(source.requests, 1);

    // The last reader gone, the connection closes and the stream is forgotten.
    QPointer<TAVO_mgr_boxStream> gone = stream;
    delete one;
    delete two;
    QTRY_VERIFY(gone.isNull());
}

// The box's clock runs 0.8 s behind the pictures and 0.6 s behind the sound: readers that take
// the pictures' clock get it 0.6 s later on, the sound just in time by it.
void tst_boxStream::clockMovesToThePictures()
{
    StreamSource source(pat + pmt + packet(videoPid, false, QByteArray(), 20000) + sound + keyPicture);
    QByteArray got;
    TAVO_mgr_streamTap *tap = TAVO_mgr_boxStream::of(source.box())->join(this);
    tap->setClock(TAVO_mgr_streamTap::Clock::OfPictures);
    connect(tap, &TAVO_mgr_streamTap::packets, this, [&got](const QByteArray &packets) { got += packets; });
    QTRY_VERIFY(got.size() >= 3 * TAVO_mgr_tsEntry::packetSize);

    const qint64 lead = 72000 - 20000;
    const QByteArray entry = got.mid(2 * TAVO_mgr_tsEntry::packetSize, TAVO_mgr_tsEntry::packetSize);
    QCOMPARE(entry, packet(videoPid, true, pes(0xe0, 90000, QByteArray::fromHex("000001b3500002d0")), 20000 + lead));
    delete tap;
}

void tst_boxStream::playerAddressServesTheStream()
{
    StreamSource source(pat + pmt + keyPicture + pictureRest);
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));

    QTcpSocket player;
    player.connectToHost(url.host(), quint16(url.port()));
    QVERIFY(player.waitForConnected());
    player.write("GET " + url.path().toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray answer;
    QTRY_VERIFY((answer += player.readAll()).endsWith(pictureRest));
    QVERIFY(answer.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(answer.contains("\r\n\r\n" + pat + pmt + keyPicture));
}

namespace {

QTcpSocket *askForStream(const QUrl &url, QObject *parent)
{
    auto *client = new QTcpSocket(parent);
    client->connectToHost(url.host(), quint16(url.port()));
    client->write("GET " + url.path().toLatin1() + " HTTP/1.1\r\n\r\n");
    return client;
}

} // namespace

// A client that reads nothing more is dropped once it falls far enough behind; the other goes
// on to the stream's end.
void tst_boxStream::clientThatFallsBehindIsDroppedAlone()
{
    const int packets = 3 * TAVO_mgr_streamSocket::backlogLimitBytes / TAVO_mgr_tsEntry::packetSize;
    StreamSource source(pat + pmt + keyPicture + pictureRest.repeated(packets));
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    QTcpSocket *reading = askForStream(url, this);
    QTcpSocket *stalled = askForStream(url, this);
    stalled->setReadBufferSize(1);
    qint64 read = 0;
    connect(reading, &QTcpSocket::readyRead, this, [&] { read += reading->readAll().size(); });
    const auto readers = [&source] {
        const TAVO_mgr_boxStream *stream = TAVO_mgr_boxStream::find(source.box().device.UDN);
        return stream ? stream->readerCount() : 0;
    };
    QTRY_COMPARE(readers(), 2);

    QTRY_VERIFY_WITH_TIMEOUT(read > qint64(packets) * TAVO_mgr_tsEntry::packetSize, 20000);
    QCOMPARE(readers(), 1);
    QCOMPARE(reading->state(), QAbstractSocket::ConnectedState);
    delete stalled;
}

// Only this program's player reads there: a connection beyond a few is let go at once.
void tst_boxStream::playerAddressTakesAFewConnections()
{
    StreamSource source(pat + pmt + keyPicture);
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    QObject clients;
    int dropped = 0;
    for (int i = 0; i <= TAVO_mgr_streamServer::connectionLimit; ++i) {
        auto *client = new QTcpSocket(&clients);
        connect(client, &QTcpSocket::disconnected, this, [&dropped] { ++dropped; });
        client->connectToHost(url.host(), quint16(url.port()));
    }

    QTRY_VERIFY(dropped > 0);
}

QTEST_GUILESS_MAIN(tst_boxStream)
#include "tst_boxStream.moc"
