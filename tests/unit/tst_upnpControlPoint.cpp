#include "TAVO_mgr_cache.h"
#include "TAVO_test_httpServer.h"
#include "TAVO_upnp_boxFinder.h"
#include "TAVO_upnp_upnpControlPoint.h"

#include <QDir>
#include <QNetworkDatagram>
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
    void boxAddressIsReadOrRefused_data();
    void boxAddressIsReadOrRefused();
    void searchAnswerCountsOnlyFromTheHostAsked_data();
    void searchAnswerCountsOnlyFromTheHostAsked();
    void cleanupTestCase();

private:
    QString descriptionPath(const QString &uuid) const
    {
        return TAVO_mgr_cache::boxFolder(uuid) + QLatin1String("DeviceDescription.xml");
    }
    QUrl location() const { return QUrl(box.baseUrl() + QStringLiteral("/description.xml")); }
    // Gives a download that should not happen the time to reach the box.
    bool noRequestArrives() const { return !box.waitForRequests(box.requestLines().size() + 1, 500); }

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
        QVERIFY(noRequestArrives());
        QVERIFY(!QDir(TAVO_mgr_cache::root() + uuid).exists());
    }
}

void tst_upnpControlPoint::refusedUuidFetchesNothing()
{
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, QStringLiteral(".."), location());
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, QStringLiteral("../elsewhere"), location());
    QVERIFY(noRequestArrives());
    QVERIFY(!QDir(TAVO_mgr_cache::root() + QStringLiteral("../elsewhere")).exists());
}

void tst_upnpControlPoint::boxSeenTwiceIsFetchedOnce()
{
    const int before = box.requestLines().size();
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    discovery.rootDeviceOnline(TAVO_upnp_upnpControlPoint::streamerDeviceType, uuid, location());
    QVERIFY(box.waitForRequests(before + 1));
    QVERIFY(noRequestArrives());
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

void tst_upnpControlPoint::boxAddressIsReadOrRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("usable");
    QTest::newRow("IPv4 address") << "192.168.1.20" << true;
    QTest::newRow("host name, spaces around") << "  kld450r.local " << true;
    QTest::newRow("host:port") << "192.168.1.20:49152" << true;
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml" << true;
    QTest::newRow("web page URL") << "http://192.168.1.20/" << true;
    QTest::newRow("empty") << "   " << false;
    QTest::newRow("port 0") << "192.168.1.20:0" << false;
    QTest::newRow("port too large") << "192.168.1.20:65536" << false;
    QTest::newRow("path without scheme") << "192.168.1.20/description.xml" << false;
    QTest::newRow("HTTPS") << "https://192.168.1.20/description.xml" << false;
    QTest::newRow("other scheme") << "file:///etc/passwd" << false;
    QTest::newRow("user in URL") << "http://admin@192.168.1.20/description.xml" << false;
    QTest::newRow("space in host") << "my box" << false;
    QTest::newRow("scheme alone") << "http://" << false;
}

void tst_upnpControlPoint::boxAddressIsReadOrRefused()
{
    QFETCH(QString, address);
    QFETCH(bool, usable);
    const QString error = TAVO_upnp_boxFinder::addressError(address);
    QVERIFY2(error.isEmpty() == usable, qPrintable(error));
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
    QVERIFY(askedSsdp.bind(askedAddress, TAVO_upnp_boxFinder::ssdpPort, QUdpSocket::ShareAddress));
    QUdpSocket answering;
    QVERIFY(answering.bind(QHostAddress(answeringAddress), 0));

    auto *finder = new TAVO_upnp_boxFinder(&discovery, askedAddress.toString(), this);
    QSignalSpy finished(finder, &TAVO_upnp_boxFinder::finished);
    finder->start();
    QTRY_VERIFY(askedSsdp.hasPendingDatagrams());
    const QNetworkDatagram search = askedSsdp.receiveDatagram();
    answering.writeDatagram("HTTP/1.1 200 OK\r\nLOCATION: " + askedBox.baseUrl().toLatin1() + "/description.xml\r\n\r\n",
                            search.senderAddress(), quint16(search.senderPort()));

    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, TAVO_upnp_boxFinder::searchTimeLimitMs + 2000);
    QCOMPARE(!askedBox.requestLines().isEmpty(), fetched);
}

void tst_upnpControlPoint::cleanupTestCase()
{
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

QTEST_MAIN(tst_upnpControlPoint)
#include "tst_upnpControlPoint.moc"
