#include "TAVO_mgr_boxLookup.h"
#include "TAVO_mgr_cache.h"
#include "TAVO_test_httpServer.h"
#include "TAVO_upnp_boxFinder.h"
#include "TAVO_upnp_upnpControlPoint.h"

#include <QDir>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QUdpSocket>
#include <QUrl>
#include <QtTest>

// What discovery does with a device SSDP reports. The control point searches the network
// from its constructor: this runs inside the private network like every test.
class tst_upnpControlPoint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void onlyTheStreamerTypeIsFetched_data();
    void onlyTheStreamerTypeIsFetched();
    void refusedUuidFetchesNothing();
    void boxSeenTwiceIsFetchedOnce();
    void boxBackAfterLeavingIsFetchedAgain();
    void searchAnswerCountsOnlyFromTheHostAsked_data();
    void searchAnswerCountsOnlyFromTheHostAsked();
    void searchStartsAgainWhenANetworkRefusedIt();
    void cleanupTestCase();

private:
    QString descriptionPath(const QString &uuid) const
    {
        return TAVO_mgr_cache::boxFolder(uuid) + QLatin1String("DeviceDescription.xml");
    }
    QUrl location() const { return QUrl(box.baseUrl() + QStringLiteral("/description.xml")); }
    // A box seen after the others is fetched: once its request arrived, a request made before it
    // would have come first. True when it is the next after the first `requestsBefore`.
    bool markerComesNext(int requestsBefore)
    {
        discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid + QStringLiteral("-marker"),
                                   QUrl(box.baseUrl() + QStringLiteral("/marker.xml")));
        return box.waitForRequests(requestsBefore + 1)
            && box.requestLines().at(requestsBefore) == QStringLiteral("GET /marker.xml HTTP/1.1");
    }

    TAVO_upnp_upnpControlPoint discovery{nullptr};
    TAVO_test_httpServer box{TAVO_test_httpServer::Answer::Body, "<root/>"};
    int uuids = 0;
    QString uuid;
};

void tst_upnpControlPoint::init()
{
    if (!box.port())
        QVERIFY(box.listen());
    uuid = QStringLiteral("tst-upnp-%1").arg(++uuids);
}

void tst_upnpControlPoint::onlyTheStreamerTypeIsFetched_data()
{
    QTest::addColumn<QString>("deviceType");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("streamer") << "urn:vornex-com:device:TavoStreamer:1" << true;
    QTest::newRow("streamer version 2") << "urn:vornex-com:device:TavoStreamer:2" << false;
    QTest::newRow("other letter case") << "urn:vornex-com:device:tavostreamer:1" << false;
    QTest::newRow("light") << "urn:schemas-upnp-org:device:DimmableLight:1" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_upnpControlPoint::onlyTheStreamerTypeIsFetched()
{
    QFETCH(QString, deviceType);
    QFETCH(bool, fetched);
    const int before = box.requestLines().size();

    discovery.rootDeviceOnline(deviceType, uuid, location());

    if (fetched) {
        QVERIFY(box.waitForRequests(before + 1));
        QTRY_VERIFY(QFile::exists(descriptionPath(uuid)));
    } else {
        QVERIFY(markerComesNext(before));
        QVERIFY(!QDir(TAVO_mgr_cache::root() + uuid).exists());
    }
}

void tst_upnpControlPoint::refusedUuidFetchesNothing()
{
    const int before = box.requestLines().size();
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, QStringLiteral(".."), location());
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, QStringLiteral("../elsewhere"), location());
    QVERIFY(markerComesNext(before));
    QVERIFY(!QDir(TAVO_mgr_cache::root() + QStringLiteral("../elsewhere")).exists());
}

void tst_upnpControlPoint::boxSeenTwiceIsFetchedOnce()
{
    const int before = box.requestLines().size();
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    QVERIFY(box.waitForRequests(before + 1));
    QVERIFY(markerComesNext(before + 1));
}

void tst_upnpControlPoint::boxBackAfterLeavingIsFetchedAgain()
{
    const int before = box.requestLines().size();
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    QVERIFY(box.waitForRequests(before + 1));
    QTRY_VERIFY(QFile::exists(descriptionPath(uuid)));

    discovery.rootDeviceOffline(uuid);
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    QVERIFY(box.waitForRequests(before + 2));
}

void tst_upnpControlPoint::searchAnswerCountsOnlyFromTheHostAsked_data()
{
    QTest::addColumn<QString>("answeringAddress");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("the host asked") << "127.0.0.41" << true;
    QTest::newRow("another address") << "127.0.0.42" << false;
}

// A search for a box by its address goes to that host alone; an answer from another address
// (a device that lies, or one that heard the search) must not lead the client anywhere.
void tst_upnpControlPoint::searchAnswerCountsOnlyFromTheHostAsked()
{
    QFETCH(QString, answeringAddress);
    QFETCH(bool, fetched);
    const QHostAddress askedAddress(QStringLiteral("127.0.0.41"));
    TAVO_test_httpServer askedBox(TAVO_test_httpServer::Answer::Body, "<root/>");
    QVERIFY(askedBox.listen(askedAddress));
    QUdpSocket askedSsdp;
    QVERIFY(askedSsdp.bind(askedAddress, TAVO_mgr_boxLookup::ssdpPort, QUdpSocket::ShareAddress));
    QUdpSocket answering;
    QVERIFY(answering.bind(QHostAddress(answeringAddress), 0));

    auto *finder = new TAVO_upnp_boxFinder(&discovery, askedAddress.toString(), this);
    QSignalSpy finished(finder, &TAVO_upnp_boxFinder::finished);
    finder->start();
    QTRY_VERIFY(askedSsdp.hasPendingDatagrams());
    const QNetworkDatagram search = askedSsdp.receiveDatagram();
    answering.writeDatagram("HTTP/1.1 200 OK\r\nLOCATION: " + askedBox.baseUrl().toLatin1() + "/description.xml\r\n\r\n",
                            search.senderAddress(), quint16(search.senderPort()));

    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, TAVO_mgr_boxLookup::searchTimeLimitMs + 2000);
    QCOMPARE(!askedBox.requestLines().isEmpty(), fetched);
}

namespace {

// The private network's range of ports the kernel hands out when a socket asks for any port;
// put back when it goes.
class EphemeralPorts
{
public:
    explicit EphemeralPorts(const QByteArray &range) : saved(read()) { written = !saved.isEmpty() && write(range); }
    ~EphemeralPorts() { restore(); }
    bool narrowed() const { return written; }
    void restore()
    {
        if (written)
            write(saved);
        written = false;
    }

private:
    static QString path() { return QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"); }
    static QByteArray read()
    {
        QFile range(path());
        return range.open(QIODevice::ReadOnly) ? range.readAll() : QByteArray();
    }
    static bool write(const QByteArray &range)
    {
        QFile file(path());
        return file.open(QIODevice::WriteOnly) && file.write(range) == range.size() && file.flush();
    }

    QByteArray saved;
    bool written = false;
};

QByteArray aliveNotice(const QString &uuid, const QUrl &location)
{
    const QByteArray type = TAVO_upnp_upnpControlPoint::streamerDeviceType.toLatin1();
    return "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nCACHE-CONTROL: max-age=1800\r\n"
           "LOCATION: " + location.toEncoded() + "\r\nNT: " + type + "\r\nNTS: ssdp:alive\r\n"
           "SERVER: Linux/6 UPnP/1.0 test/1\r\nUSN: uuid:" + uuid.toLatin1() + "::" + type + "\r\n\r\n";
}

} // namespace

// GUPnP gives a network's context an HTTP server on the port its search socket got; a program
// that holds that port once left the client blind on that network for the whole run.
void tst_upnpControlPoint::searchStartsAgainWhenANetworkRefusedIt()
{
    if (qgetenv("TAVO_IN_PRIVATE_NET") != "1")
        QSKIP("narrows the port range of the network it runs in: only inside the private one");
    EphemeralPorts ports("40000 40001");
    if (!ports.narrowed())
        QSKIP("this network's port range cannot be changed here");
    QTcpServer holders[2];
    QVERIFY(holders[0].listen(QHostAddress::LocalHost, 40000) && holders[1].listen(QHostAddress::LocalHost, 40001));

    TAVO_upnp_upnpControlPoint refused(nullptr);
    QSignalSpy trouble(&refused, &TAVO_upnp_upnpControlPoint::searchTrouble);
    QSignalSpy seen(&refused, &TAVO_upnp_upnpControlPoint::boxSeen);
    QTRY_COMPARE(trouble.size(), 1);
    QVERIFY(trouble.first().first().toString().contains(QLatin1String("trying again")));
    holders[0].close();
    holders[1].close();
    ports.restore();

    QUdpSocket announcer;
    QVERIFY(announcer.bind(QHostAddress::LocalHost, 0));
    QVERIFY(QTest::qWaitFor([&] {
        announcer.writeDatagram(aliveNotice(uuid, location()), QHostAddress(QStringLiteral("239.255.255.250")), 1900);
        return seen.contains({uuid});
    }, 15000));
    QCOMPARE(trouble.last().first().toString(), QStringLiteral("Searching for boxes"));
}

void tst_upnpControlPoint::cleanupTestCase()
{
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

QTEST_MAIN(tst_upnpControlPoint)
#include "tst_upnpControlPoint.moc"
