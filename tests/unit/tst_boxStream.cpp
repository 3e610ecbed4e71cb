#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_streamServer.h"
#include "TAVO_mgr_streamSocket.h"
#include "TAVO_test_streamSamples.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

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

// A programme map of the given tracks (stream type, PID), its clock on `clockPid`.
QByteArray programmeMap(const QList<QPair<int, int>> &tracks, int clockPid)
{
    QByteArray entries;
    for (const auto &[type, pid] : tracks)
        entries += QByteArray(1, char(type)) + char(0xe0 | (pid >> 8)) + char(pid & 0xff) + QByteArray::fromHex("f000");
    const int length = 9 + entries.size() + 4;
    return packet(pmtPid, true, QByteArray::fromHex("0002") + char(0xb0 | (length >> 8)) + char(length & 0xff)
                                    + QByteArray::fromHex("0001c10000") + char(0xe0 | (clockPid >> 8)) + char(clockPid & 0xff)
                                    + QByteArray::fromHex("f000") + entries + QByteArray(4, '\0'));
}

QByteArray picture(const QByteArray &elementary, qint64 pts, qint64 pcr)
{
    return packet(videoPid, true, pes(0xe0, pts, elementary), pcr);
}

constexpr qint64 clockWrap = qint64(1) << 33;

const QByteArray pat = packet(0, true, QByteArray::fromHex("0000b00d0001c100000001f000") + QByteArray(4, '\0'));
const QByteArray pmt = programmeMap({{0x02, videoPid}, {0x0f, soundPid}}, videoPid);
const QByteArray keyPicture = picture(QByteArray::fromHex("000001b3500002d0"), 90000, 20000);
const QByteArray laterPicture = picture(QByteArray::fromHex("0000010000"), 93003, 23000);
const QByteArray pictureRest = packet(videoPid, false, QByteArray(100, 'v'));
const QByteArray sound = packet(soundPid, true, pes(0xc0, 72000, QByteArray("sound")));
const QByteArray soundRest = packet(soundPid, false, QByteArray(100, 's'));
const QByteArray nullPacket = packet(0x1fff, false, QByteArray());

// A stream source that answers every request with its bytes and keeps the connection open, or
// closes it once they are sent.
class StreamSource : public QObject
{
public:
    enum Ending { KeepsOpen, Closes };

    explicit StreamSource(const QByteArray &bytes, Ending ending = KeepsOpen)
        : bytes(bytes)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this, ending] {
            QTcpSocket *socket = server.nextPendingConnection();
            last = socket;
            ++requests;
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, ending] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: video/mp2t\r\n\r\n" + this->bytes);
                if (ending == Closes)
                    socket->disconnectFromHost();
            });
        });
    }

    // Sends more on the newest connection, then closes it.
    void sendAndClose(const QByteArray &more)
    {
        connect(last, &QTcpSocket::disconnected, this, [this] { closed = true; });
        last->write(more);
        last->disconnectFromHost();
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
    QPointer<QTcpSocket> last;
    int requests = 0;
    bool closed = false;
};

// The clock references of the packets in `bytes`, in order.
QList<qint64> clockOf(const QByteArray &bytes)
{
    QList<qint64> clock;
    for (qsizetype at = 0; at + TAVO_mgr_tsEntry::packetSize <= bytes.size(); at += TAVO_mgr_tsEntry::packetSize) {
        const auto *p = reinterpret_cast<const quint8 *>(bytes.constData() + at);
        if ((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10))
            clock << ((qint64(p[6]) << 25) | (qint64(p[7]) << 17) | (qint64(p[8]) << 9) | (qint64(p[9]) << 1) | (p[10] >> 7));
    }
    return clock;
}

// Reads what a new reader of `box` gets, on the clock asked for.
struct Reader
{
    Reader(const TAVO_SERVER &box, QObject *owner, TAVO_mgr_streamTap::Clock clock = TAVO_mgr_streamTap::Clock::AsSent)
        : tap(TAVO_mgr_boxStream::of(box)->join(owner))
    {
        tap->setClock(clock);
        QObject::connect(tap, &TAVO_mgr_streamTap::packets, owner, [this](const QByteArray &packets) { got += packets; });
        QObject::connect(tap, &TAVO_mgr_streamTap::ended, owner, [this](const TAVO_mgr_streamFailure &why) {
            ended = true;
            failure = why;
        });
    }
    ~Reader() { delete tap; }

    QPointer<TAVO_mgr_streamTap> tap;
    QByteArray got;
    bool ended = false;
    TAVO_mgr_streamFailure failure;
};


} // namespace

class tst_boxStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readerStartsAtTheTablesAndAPictureThatDecodesAlone_data();
    void readerStartsAtTheTablesAndAPictureThatDecodesAlone();
    void everyEncodedStreamReachesEveryReader_data();
    void everyEncodedStreamReachesEveryReader();
    void onlyWholePacketsReachTheReader_data();
    void onlyWholePacketsReachTheReader();
    void readersOfOneBoxShareOneConnection();
    void readerJoiningAsTheStreamClosesIsServed();
    void lateReaderOfALongGroupWaitsForTheNextEntry();
    void clockMovesToThePictures_data();
    void clockMovesToThePictures();
    void heldReaderStopsTheStream();
    void readerThatKeepsAskingGetsTheStreamAgain();
    void playerAddressServesTheStream_data();
    void playerAddressServesTheStream();
    void lateClientOfALongGroupIsServed();
    void clientThatFallsBehindIsDroppedAlone();
    void playerAddressTakesAFewConnections();
    void playerAddressServesPlayersOneAfterAnother();
};

void tst_boxStream::readerStartsAtTheTablesAndAPictureThatDecodesAlone_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("first");
    const QByteArray clean = pat + pmt + keyPicture + pictureRest;
    QTest::newRow("tables, then a key picture") << pat + pmt + keyPicture + pictureRest << clean;
    QTest::newRow("sound first") << sound + sound + pat + pmt + sound + keyPicture + pictureRest << clean;
    QTest::newRow("programme table late") << pat + laterPicture + keyPicture + pmt + laterPicture + keyPicture
                                                 + pictureRest << clean;
    QTest::newRow("no picture start yet") << pat + pmt + pictureRest + laterPicture + pictureRest + sound + keyPicture
                                                 + pictureRest << clean;
    QTest::newRow("a lost byte between packets") << pat + pmt + sound + "x" + sound + keyPicture + pictureRest + sound
                                                 << clean;

    const QByteArray h264 = programmeMap({{0x1b, videoPid}, {0x0f, soundPid}}, videoPid);
    const QByteArray h264Key = picture(QByteArray::fromHex("0000000109f00000000167640028"), 90000, 20000);
    const QByteArray h264Later = picture(QByteArray::fromHex("0000000109f0000000014101"), 93003, 23000);
    QTest::newRow("H.264") << pat + h264 + h264Later + sound + h264Key + pictureRest
                           << pat + h264 + h264Key + pictureRest;
    const QByteArray hevc = programmeMap({{0x24, videoPid}, {0x0f, soundPid}}, videoPid);
    const QByteArray hevcKey = picture(QByteArray::fromHex("00000001460150000000014001"), 90000, 20000);
    const QByteArray hevcLater = picture(QByteArray::fromHex("00000001460150000000010201"), 93003, 23000);
    QTest::newRow("HEVC") << pat + hevc + hevcLater + sound + hevcKey + pictureRest << pat + hevc + hevcKey + pictureRest;

    const QByteArray radio = programmeMap({{0x0f, soundPid}}, soundPid);
    QTest::newRow("sound alone") << pat + radio + soundRest + sound + soundRest << pat + radio + sound + soundRest;
    const QByteArray mpeg4 = programmeMap({{0x10, videoPid}, {0x0f, soundPid}}, videoPid);
    QTest::newRow("pictures of a kind not read") << pat + mpeg4 + pictureRest + laterPicture + sound
                                                 << pat + mpeg4 + laterPicture + sound;
    const qint64 waited = TAVO_mgr_tsEntry::entryWaitMs * TAVO_mgr_tsEntry::ticksPerMs + 23000 + 1;
    const QByteArray lateAndNotKey = picture(QByteArray::fromHex("0000010000"), waited + 70000, waited);
    QTest::newRow("no picture that decodes alone for long") << pat + pmt + laterPicture + sound + lateAndNotKey + pictureRest
                                                            << pat + pmt + lateAndNotKey + pictureRest;
}

void tst_boxStream::readerStartsAtTheTablesAndAPictureThatDecodesAlone()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, first);
    // The last packet is whole once the next one begins.
    StreamSource source(start + nullPacket);
    Reader reader(source.box(), this);

    QTRY_VERIFY(reader.got.size() >= first.size());
    QCOMPARE(reader.got.left(first.size()), first);
}

void tst_boxStream::everyEncodedStreamReachesEveryReader_data()
{
    QTest::addColumn<TAVO_test_streamSamples::Shape>("shape");
    for (TAVO_test_streamSamples::Shape shape : TAVO_test_streamSamples::shapes())
        QTest::newRow(qPrintable(TAVO_test_streamSamples::name(shape))) << shape;
}

// What real encoders send: every reader starts, on either clock; from its entry point on it gets
// every packet; the clock is moved by a bounded lead; a reader that joins late starts at once,
// with the newest tables.
void tst_boxStream::everyEncodedStreamReachesEveryReader()
{
    QFETCH(TAVO_test_streamSamples::Shape, shape);
    const QByteArray sample = TAVO_test_streamSamples::bytes(shape);
    QVERIFY(!sample.isEmpty());
    const QByteArray allButTheLast = sample.chopped(TAVO_mgr_tsEntry::packetSize);
    const int tables = 2 * TAVO_mgr_tsEntry::packetSize;
    StreamSource source(sample);
    Reader asSent(source.box(), this);
    Reader onPictures(source.box(), this, TAVO_mgr_streamTap::Clock::OfPictures);
    QTRY_VERIFY(asSent.got.size() > tables && allButTheLast.endsWith(asSent.got.mid(tables)));
    QTRY_COMPARE(onPictures.got.size(), asSent.got.size());

    const QList<qint64> sent = TAVO_test_streamSamples::clockReferences(asSent.got);
    const QList<qint64> moved = TAVO_test_streamSamples::clockReferences(onPictures.got);
    QCOMPARE(moved.size(), sent.size());
    QVERIFY(!sent.isEmpty());
    const qint64 shift = (moved.first() - sent.first() + clockWrap) % clockWrap;
    QVERIFY2(shift > 0 && shift <= TAVO_mgr_tsEntry::shiftLimitMs * TAVO_mgr_tsEntry::ticksPerMs, qPrintable(QString::number(shift)));
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE((sent[i] + shift) % clockWrap, moved[i]);

    Reader late(source.box(), this);
    QTRY_VERIFY(late.got.size() > tables);
    QVERIFY(allButTheLast.endsWith(late.got.mid(tables)));
    QCOMPARE(TAVO_test_streamSamples::describe(TAVO_test_streamSamples::programmeMaps(late.got).first()),
             TAVO_test_streamSamples::describe(TAVO_test_streamSamples::programmeMaps(sample).last()));
}

// Only whole packets reach a reader: a packet is whole when the next begins where it ends, and
// sync is found again after three packets in a row. Bytes that make no packets are no stream.
void tst_boxStream::onlyWholePacketsReachTheReader_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("failure");  // TAVO_mgr_streamFailure::Kind; -1: none

    const QByteArray broken = pictureRest.left(100) + pictureRest.mid(101);
    QTest::newRow("a byte lost in a packet") << pat + pmt + keyPicture + broken + pictureRest + laterPicture + pictureRest + sound
                                             << false << pat + pmt + keyPicture + pictureRest + laterPicture + pictureRest << -1;
    QByteArray page = QByteArray("GATEWAY ERROR <html><body>").leftJustified(188, ' ')
                      + QByteArray("Gone: the encoder is down. Go back later.").leftJustified(188, ' ')
                      + QByteArray("</body></html>\n");
    QTest::newRow("error page with a G every 188 bytes") << page << true << QByteArray()
                                                         << int(TAVO_mgr_streamFailure::Kind::NotTransportStream);
    QTest::newRow("long error page") << QByteArray("<html>Service unavailable</html>").repeated(3000) << false
                                     << QByteArray() << int(TAVO_mgr_streamFailure::Kind::NotTransportStream);
    QByteArray stamped;
    for (int i = 0; i < 400; ++i)
        stamped += QByteArray(4, '\0') + (i % 2 ? pictureRest : pat);
    QTest::newRow("192-byte packets") << stamped << false << QByteArray() << int(TAVO_mgr_streamFailure::Kind::NotTransportStream);
}

void tst_boxStream::onlyWholePacketsReachTheReader()
{
    QFETCH(QByteArray, stream);
    QFETCH(bool, closes);
    QFETCH(QByteArray, expected);
    QFETCH(int, failure);
    StreamSource source(stream, closes ? StreamSource::Closes : StreamSource::KeepsOpen);
    Reader reader(source.box(), this);

    if (failure < 0) {
        QTRY_COMPARE(reader.got, expected);
        return;
    }
    QTRY_VERIFY(reader.ended);
    QCOMPARE(int(reader.failure.kind), failure);
    QCOMPARE(reader.got, expected);
}

void tst_boxStream::readersOfOneBoxShareOneConnection()
{
    StreamSource source(pat + pmt + sound + keyPicture + pictureRest + laterPicture + nullPacket);
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

// A reader that joins just as the last one's grace ends gets a stream of its own.
void tst_boxStream::readerJoiningAsTheStreamClosesIsServed()
{
    StreamSource source(pat + pmt + keyPicture + pictureRest + nullPacket);
    {
        Reader first(source.box(), this);
        QTRY_VERIFY(!first.got.isEmpty());
    }
    std::unique_ptr<Reader> second;
    QTimer::singleShot(TAVO_mgr_boxStream::graceMs, Qt::PreciseTimer, this,
                       [&] { second = std::make_unique<Reader>(source.box(), this); });
    QTRY_VERIFY(second && second->got.startsWith(pat + pmt + keyPicture));
}

// What is kept for a late reader is bounded: past the bound, it waits for the next entry point.
void tst_boxStream::lateReaderOfALongGroupWaitsForTheNextEntry()
{
    const QByteArray longGroup = keyPicture + pictureRest.repeated(TAVO_mgr_streamFanOut::keptLimitBytes / pictureRest.size() + 1);
    StreamSource source(pat + pmt + longGroup + nullPacket);
    Reader first(source.box(), this);
    QTRY_COMPARE(first.got.size(), pat.size() + pmt.size() + longGroup.size());

    Reader late(source.box(), this);
    const QByteArray nextKey = picture(QByteArray::fromHex("000001b3500002d0"), 900000, 830000);
    source.sendAndClose(nextKey + pictureRest + nullPacket);
    QTRY_VERIFY(late.ended);
    QCOMPARE(late.got, pat + pmt + nextKey + pictureRest + nullPacket);
}

// Readers that take the pictures' clock get the box's clock moved by the least lead of the
// pictures and the sound, measured once on a connection and within bounds; their other bytes
// are as sent.
void tst_boxStream::clockMovesToThePictures_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qint64>("shift");

    const QByteArray clockOnly = packet(videoPid, false, QByteArray(), 20000);
    QTest::newRow("sound before the picture") << pat + pmt + clockOnly + sound + keyPicture + pictureRest << qint64(52000);
    QTest::newRow("sound after the picture") << pat + pmt + keyPicture + pictureRest + sound + laterPicture << qint64(52000);
    const qint64 nearWrap = clockWrap - 9000;
    QTest::newRow("clock wraps") << pat + pmt + picture(QByteArray::fromHex("000001b3500002d0"), 61000, nearWrap)
                                        + packet(soundPid, true, pes(0xc0, 43000, "sound")) + laterPicture
                                 << qint64(52000);
    const QByteArray farAhead = packet(soundPid, true, pes(0xc0, 20000 + 300 * 90000, "sound"));
    QTest::newRow("a stamp far ahead") << pat + pmt + keyPicture + farAhead + sound + laterPicture << qint64(52000);
    const QByteArray closerSound = packet(soundPid, true, pes(0xc0, 30000, "sound"));
    const QByteArray nextKey = picture(QByteArray::fromHex("000001b3500002d0"), 110000, 40000);
    QTest::newRow("measured once") << pat + pmt + clockOnly + sound + keyPicture + closerSound + nextKey + pictureRest
                                   << qint64(52000);
    const QByteArray lateSound = packet(soundPid, true, pes(0xc0, 20000 + 5 * 90000, "sound"));
    QTest::newRow("moved no further than the bound") << pat + pmt + picture(QByteArray::fromHex("000001b3500002d0"), 20000 + 6 * 90000, 20000)
                                                            + lateSound + laterPicture
                                                     << qint64(TAVO_mgr_tsEntry::shiftLimitMs * TAVO_mgr_tsEntry::ticksPerMs);
}

void tst_boxStream::clockMovesToThePictures()
{
    QFETCH(QByteArray, stream);
    QFETCH(qint64, shift);
    StreamSource source(stream + nullPacket);
    Reader asSent(source.box(), this);
    Reader onPictures(source.box(), this, TAVO_mgr_streamTap::Clock::OfPictures);
    QTRY_VERIFY(asSent.got.endsWith(stream.right(TAVO_mgr_tsEntry::packetSize))
                && onPictures.got.size() == asSent.got.size());

    const QList<qint64> sent = clockOf(asSent.got);
    QList<qint64> moved;
    for (qint64 pcr : sent)
        moved << (pcr + shift) % clockWrap;
    QVERIFY(!sent.isEmpty());
    QCOMPARE(clockOf(onPictures.got), moved);
}

// A reader that cannot take more holds the stream: nothing is read from the box meanwhile, not
// even its end.
void tst_boxStream::heldReaderStopsTheStream()
{
    StreamSource source(pat + pmt + keyPicture + pictureRest + nullPacket);
    Reader reader(source.box(), this);
    QTRY_VERIFY(!reader.got.isEmpty());
    const QByteArray before = reader.got;

    reader.tap->hold(true);
    source.sendAndClose(laterPicture + pictureRest + sound);
    QTRY_VERIFY(source.closed);
    for (int pass = 0; pass < 100; ++pass)
        QCoreApplication::processEvents();
    QCOMPARE(reader.got, before);
    QVERIFY(!reader.ended);

    reader.tap->hold(false);
    QTRY_VERIFY(reader.ended);
    QCOMPARE(reader.got, before + nullPacket + laterPicture + pictureRest + sound);
}

// A reader that keeps asking (a recording, a TV server's viewer) has a lost stream asked for again.
void tst_boxStream::readerThatKeepsAskingGetsTheStreamAgain()
{
    const QByteArray start = pat + pmt + keyPicture + pictureRest + nullPacket;
    StreamSource source(start, StreamSource::Closes);
    Reader reader(source.box(), this);
    reader.tap->setKeepAsking(true);
    QTRY_VERIFY(reader.ended);
    QCOMPARE(reader.failure.reason, QString());

    QTRY_COMPARE(reader.got, start + start);
    QCOMPARE(source.requests, 2);
}

void tst_boxStream::playerAddressServesTheStream_data()
{
    QTest::addColumn<bool>("ownPath");
    QTest::newRow("its own path") << true;
    QTest::newRow("another path") << false;
}

// The player's address serves a box's stream only at the path made for it: another local user
// cannot guess it.
void tst_boxStream::playerAddressServesTheStream()
{
    QFETCH(bool, ownPath);
    StreamSource source(pat + pmt + keyPicture + pictureRest + nullPacket);
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    const QString path = ownPath ? url.path() : url.path().replace(1, 4, QStringLiteral("0000"));

    QTcpSocket player;
    player.connectToHost(url.host(), quint16(url.port()));
    QVERIFY(player.waitForConnected());
    player.write("GET " + path.toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray answer;
    if (!ownPath) {
        QTRY_VERIFY((answer += player.readAll()).contains("\r\n\r\n"));
        QVERIFY(answer.startsWith("HTTP/1.1 404 "));
        QCOMPARE(source.requests, 0);
        return;
    }
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

// A client that joins a stream whose newest picture that decodes alone lies megabytes back is
// given all of it at once, and is not dropped for it.
void tst_boxStream::lateClientOfALongGroupIsServed()
{
    const QByteArray longGroup = keyPicture + pictureRest.repeated(6 * 1024 * 1024 / pictureRest.size());
    StreamSource source(pat + pmt + longGroup + nullPacket);
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    Reader first(source.box(), this);
    QTRY_COMPARE(first.got.size(), pat.size() + pmt.size() + longGroup.size());

    QTcpSocket *late = askForStream(url, this);
    QByteArray got;
    connect(late, &QTcpSocket::readyRead, this, [&] { got += late->readAll(); });
    QTRY_VERIFY_WITH_TIMEOUT(got.endsWith(pictureRest.repeated(16)) && got.size() > longGroup.size(), 20000);
    QCOMPARE(late->state(), QAbstractSocket::ConnectedState);
    delete late;
}

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
    delete reading;
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
        connect(client, &QTcpSocket::disconnected, &clients, [&dropped] { ++dropped; });
        client->connectToHost(url.host(), quint16(url.port()));
    }

    QTRY_VERIFY(dropped > 0);
}

// Players that came and went, more than the few at a time, leave the address open to the next.
void tst_boxStream::playerAddressServesPlayersOneAfterAnother()
{
    StreamSource source(pat + pmt + keyPicture + pictureRest + nullPacket);
    const QUrl url(TAVO_mgr_streamServer::instance()->urlFor(source.box()));
    for (int i = 0; i <= TAVO_mgr_streamServer::connectionLimit; ++i) {
        QTcpSocket *player = askForStream(url, this);
        QByteArray answer;
        QTRY_VERIFY2((answer += player->readAll()).endsWith(pictureRest), qPrintable(QString::number(i)));
        delete player;
    }
}

QTEST_GUILESS_MAIN(tst_boxStream)
#include "tst_boxStream.moc"
