// The tuner service's documents and the reading of its requests: whatever a box, a list or a
// client sends stays inside its field.
#include "TAVO_tuner_access.h"
#include "TAVO_tuner_documents.h"
#include "TAVO_tuner_options.h"
#include "TAVO_tuner_page.h"
#include "TAVO_tuner_remuxer.h"
#include "TAVO_tuner_request.h"
#include "TAVO_tuner_ssdp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(TAVO_tuner_request::State)
Q_DECLARE_METATYPE(TAVO_tuner_route::Kind)

namespace {

const QString base = QStringLiteral("http://127.0.0.1:5004");

TAVO_tuner_box boxCalled(const QString &name, const QString &channelName)
{
    TAVO_tuner_box box;
    box.server.device.friendlyName = name;
    box.id = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01");
    box.list.channels = {{channelName, QStringLiteral("21"), QStringLiteral("/logos/a.png"), {}, {}}};
    return box;
}

QStringList keysOf(const QJsonObject &object)
{
    QStringList keys = object.keys();
    keys.sort();
    return keys;
}

} // namespace

class tst_tunerDocuments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void playlistKeepsEachTextInItsField_data();
    void playlistKeepsEachTextInItsField();
    void playlistListsAPooledChannelOnce();
    void jsonDocumentsCarryTheFieldNamesClientsRead();
    void requestsAreReadAndRouted_data();
    void requestsAreReadAndRouted();
    void requestsOfOtherSitesAreKnown_data();
    void requestsOfOtherSitesAreKnown();
    void listenAddressIsRead_data();
    void listenAddressIsRead();
    void ssdpSearchesAreAnswered_data();
    void ssdpSearchesAreAnswered();
    void pageRoutesTakeOnlyWhatTheyCheck_data();
    void pageRoutesTakeOnlyWhatTheyCheck();
    void wrongPasswordsMakeTheClientWaitLonger();
    void pictureTypeIsReadFromTheSequenceParameters_data();
    void pictureTypeIsReadFromTheSequenceParameters();
};

void tst_tunerDocuments::playlistKeepsEachTextInItsField_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("channelName");
    QTest::newRow("plain") << QStringLiteral("Living Room") << QStringLiteral("Nature World");
    QTest::newRow("quotes") << QStringLiteral("The \"Big\" Box") << QStringLiteral("News \"24\", Berlin");
    QTest::newRow("line breaks") << QStringLiteral("Box\r\n#EXTINF:-1,Evil\nhttp://evil/") << QStringLiteral("A\nhttp://evil/");
    QTest::newRow("unicode separators") << QStringLiteral("Box\u2028x") << QStringLiteral("Film\u0085x");
    // Would show the rest of the line, the URL's box among it, turned around.
    QTest::newRow("direction overrides") << QStringLiteral("Box\u202Ex") << QStringLiteral("Film\u2066x");
}

void tst_tunerDocuments::playlistKeepsEachTextInItsField()
{
    QFETCH(QString, boxName);
    QFETCH(QString, channelName);

    const QStringList lines = QString::fromUtf8(TAVO_tuner_documents::playlist({boxCalled(boxName, channelName)}, {}, base))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("#EXTM3U"));
    static const QRegularExpression entry(QStringLiteral(
        "^#EXTINF:-1 tvg-chno=\"21\" tvg-name=\"[^\"]*\" tvg-logo=\"http://127.0.0.1:5004/logo/[^\"]*/21\" group-title=\"([^\"]*)\",([^\\n]*)$"));
    const QRegularExpressionMatch match = entry.match(lines[1]);
    QVERIFY2(match.hasMatch(), qPrintable(lines[1]));
    static const QRegularExpression unseen(QStringLiteral("[\\p{Cc}\\p{Cf}\\p{Zl}\\p{Zp}]"));
    QVERIFY2(!lines[1].contains(unseen), qPrintable(lines[1]));
    QCOMPARE(match.captured(1).size(), boxName.size());
    QCOMPARE(match.captured(2).size(), channelName.size());
    QCOMPARE(lines[2], base + QStringLiteral("/channel/7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01/21"));
}

// Two boxes of one list make one entry a channel, asked for by number; a box of another list with
// the same number keeps its own entry, which only its box serves.
void tst_tunerDocuments::playlistListsAPooledChannelOnce()
{
    TAVO_tuner_box first = boxCalled(QStringLiteral("Living Room"), QStringLiteral("Nature World"));
    TAVO_tuner_box second = boxCalled(QStringLiteral("Den"), QStringLiteral("Nature World"));
    second.id = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e02");
    TAVO_tuner_box other = boxCalled(QStringLiteral("Kitchen"), QStringLiteral("Film"));
    other.id = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e03");
    first.pool = second.pool = QStringLiteral("a");
    other.pool = QStringLiteral("b");

    const QStringList lines = QString::fromUtf8(TAVO_tuner_documents::playlist({first, second, other}, {first, second, other}, base))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[1].contains(QLatin1String("group-title=\"Living Room, Den\"")), qPrintable(lines[1]));
    QCOMPARE(lines[2], base + QStringLiteral("/auto/v21"));
    QCOMPARE(lines[4], base + QStringLiteral("/channel/7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e03/21"));
}

void tst_tunerDocuments::jsonDocumentsCarryTheFieldNamesClientsRead()
{
    const QJsonObject discover = QJsonDocument::fromJson(TAVO_tuner_documents::discover(base, QStringLiteral("1A2B3C4D"), 2, QStringLiteral("1.0"))).object();
    QCOMPARE(keysOf(discover), QStringList({"BaseURL", "DeviceAuth", "DeviceID", "FirmwareName", "FirmwareVersion",
                                            "FriendlyName", "LineupURL", "Manufacturer", "ModelNumber", "TunerCount"}));
    QCOMPARE(discover[QStringLiteral("TunerCount")].toInt(), 2);

    QVERIFY(!discover[QStringLiteral("ModelNumber")].toString().contains(QLatin1String("HDTC"), Qt::CaseInsensitive));

    TAVO_tuner_box second = boxCalled(QStringLiteral("Den"), QStringLiteral("Other name"));
    second.list.channels.append({QStringLiteral("Film"), QStringLiteral("7"), {}, {}, {}});
    second.settings.chosen[TAVO_mgr_streamSettings::VideoCodec] = *TAVO_mgr_streamSettings::indexOf(TAVO_mgr_streamSettings::VideoCodec, QStringLiteral("H.264"));
    second.settings.chosen[TAVO_mgr_streamSettings::Resolution] = *TAVO_mgr_streamSettings::indexOf(TAVO_mgr_streamSettings::Resolution, QStringLiteral("576i"));
    const QJsonArray lineup = QJsonDocument::fromJson(
        TAVO_tuner_documents::lineup({boxCalled(QStringLiteral("A"), QStringLiteral("Nature\nWorld")), second}, base)).array();
    // Each number once, from the first box that has it, with what that box sends.
    QCOMPARE(lineup.size(), 2);
    QCOMPARE(keysOf(lineup[0].toObject()), QStringList({"AudioCodec", "GuideName", "GuideNumber", "HD", "URL", "VideoCodec"}));
    QCOMPARE(lineup[0].toObject()[QStringLiteral("GuideName")].toString(), QStringLiteral("Nature World"));
    QCOMPARE(lineup[0].toObject()[QStringLiteral("VideoCodec")].toString(), QStringLiteral("MPEG2"));
    QCOMPARE(lineup[0].toObject()[QStringLiteral("AudioCodec")].toString(), QStringLiteral("AAC"));
    QCOMPARE(lineup[0].toObject()[QStringLiteral("HD")].toInt(), 1);
    QCOMPARE(lineup[1].toObject()[QStringLiteral("URL")].toString(), base + QStringLiteral("/auto/v7"));
    QCOMPARE(lineup[1].toObject()[QStringLiteral("VideoCodec")].toString(), QStringLiteral("H264"));
    QCOMPARE(lineup[1].toObject()[QStringLiteral("HD")].toInt(), 0);

    const QJsonObject status = QJsonDocument::fromJson(TAVO_tuner_documents::lineupStatus()).object();
    QCOMPARE(keysOf(status), QStringList({"ScanInProgress", "ScanPossible", "Source", "SourceList"}));
}

void tst_tunerDocuments::requestsAreReadAndRouted_data()
{
    using State = TAVO_tuner_request::State;
    using Kind = TAVO_tuner_route::Kind;
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<State>("state");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("allowed");
    const QByteArray end = " HTTP/1.1\r\nHost: tuner\r\n\r\n";
    QTest::newRow("channel") << "GET /channel/7e1f-ab/21" + end << State::Ready << Kind::Channel << QStringLiteral("21") << true;
    QTest::newRow("auto") << "GET /auto/v105" + end << State::Ready << Kind::Auto << QStringLiteral("105") << true;
    QTest::newRow("head of the playlist") << "HEAD /playlist.m3u" + end << State::Ready << Kind::Playlist << QStringLiteral("") << true;
    QTest::newRow("scan request") << "POST /lineup.post?scan=start&source=Cable" + end << State::Ready << Kind::LineupPost << QStringLiteral("") << true;
    QTest::newRow("post elsewhere") << "POST /discover.json" + end << State::Ready << Kind::Discover << QStringLiteral("") << false;
    QTest::newRow("delete") << "DELETE /status" + end << State::Ready << Kind::Status << QStringLiteral("") << false;
    QTest::newRow("unknown path") << "GET /etc/passwd" + end << State::Ready << Kind::NotFound << QStringLiteral("") << true;
    QTest::newRow("number too long") << "GET /auto/v1234567" + end << State::Ready << Kind::NotFound << QStringLiteral("") << true;
    QTest::newRow("box id with a slash encoded") << "GET /channel/a%2fb/21" + end << State::Ready << Kind::NotFound << QStringLiteral("") << true;
    QTest::newRow("dot dot") << "GET /channel/../21" + end << State::Bad << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("encoded dot dot") << "GET /%2e%2e/x" + end << State::Bad << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("encoded line break") << "GET /auto/v21%0d%0aX:%20y" + end << State::Bad << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("absolute target") << QByteArray("GET http://x/ HTTP/1.1\r\n\r\n") << State::Bad << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("other protocol") << QByteArray("GET / HTTP/2\r\n\r\n") << State::Bad << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("two hosts") << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nhost: evil.example\r\n\r\n") << State::Bad
                               << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("bare line feeds") << QByteArray("GET / HTTP/1.1\n\n") << State::Incomplete << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("not ended yet") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << State::Incomplete << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("endless headers") << "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') << State::TooLarge << Kind::NotFound << QStringLiteral("") << false;
    QTest::newRow("overlong head, ended") << "GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n" << State::TooLarge
                                          << Kind::NotFound << QStringLiteral("") << false;
}

void tst_tunerDocuments::requestsAreReadAndRouted()
{
    QFETCH(QByteArray, received);
    QFETCH(TAVO_tuner_request::State, state);
    QFETCH(TAVO_tuner_route::Kind, kind);
    QFETCH(QString, number);
    QFETCH(bool, allowed);

    TAVO_tuner_request request;
    QCOMPARE(TAVO_tuner_request::read(received, &request), state);
    if (state != TAVO_tuner_request::State::Ready)
        return;
    const TAVO_tuner_route route = TAVO_tuner_route::of(request.path);
    QCOMPARE(route.kind, kind);
    QCOMPARE(route.number, number);
    QCOMPARE(TAVO_tuner_route::allows(route.kind, request.method), allowed);
}

// A browser's request that a page of another site made, or that reached the service under a
// name that site's DNS gave (DNS rebinding), against those of TV software and players.
void tst_tunerDocuments::requestsOfOtherSitesAreKnown_data()
{
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<bool>("forUs");
    QTest::addColumn<bool>("fromAnotherSite");
    QTest::newRow("player by address") << QByteArray("Host: 192.168.1.10:5004\r\nUser-Agent: Lavf/59\r\n") << true << false;
    QTest::newRow("address without port") << QByteArray("Host: 127.0.0.1\r\n") << true << false;
    QTest::newRow("IPv6 in brackets") << QByteArray("Host: [fd00::2]:5004\r\n") << true << false;
    QTest::newRow("no Host (HTTP/1.0)") << QByteArray() << true << false;
    QTest::newRow("this computer's name") << QByteArray("Host: Media.local:5004\r\n") << true << false;
    QTest::newRow("localhost") << QByteArray("host:localhost\r\n") << true << false;
    QTest::newRow("another name") << QByteArray("Host: rebound.example:5004\r\n") << false << false;
    QTest::newRow("a name that starts as an address") << QByteArray("Host: 127.0.0.1.rebound.example\r\n") << false << false;
    QTest::newRow("IPv6 without brackets") << QByteArray("Host: fd00::2\r\n") << false << false;
    QTest::newRow("port without number") << QByteArray("Host: localhost:\r\n") << false << false;
    QTest::newRow("own page") << QByteArray("Host: 127.0.0.1:5004\r\nOrigin: http://127.0.0.1:5004\r\nSec-Fetch-Site: same-origin\r\n")
                              << true << false;
    QTest::newRow("address typed in") << QByteArray("Host: 127.0.0.1:5004\r\nSec-Fetch-Site: none\r\n") << true << false;
    QTest::newRow("image of another site") << QByteArray("Host: 127.0.0.1:5004\r\nSec-Fetch-Site: cross-site\r\n") << true << true;
    QTest::newRow("page of the same site") << QByteArray("Host: 127.0.0.1:5004\r\nSec-Fetch-Site: same-site\r\n") << true << true;
    QTest::newRow("form of another origin") << QByteArray("Host: 127.0.0.1:5004\r\nOrigin: http://evil.example\r\n") << true << true;
    QTest::newRow("sandboxed page") << QByteArray("Host: 127.0.0.1:5004\r\nOrigin: null\r\n") << true << true;
}

void tst_tunerDocuments::requestsOfOtherSitesAreKnown()
{
    QFETCH(QByteArray, headers);
    QFETCH(bool, forUs);
    QFETCH(bool, fromAnotherSite);

    TAVO_tuner_request request;
    QCOMPARE(TAVO_tuner_request::read("GET /auto/v21 HTTP/1.1\r\n" + headers + "\r\n", &request), TAVO_tuner_request::State::Ready);

    QCOMPARE(request.isForUs({QStringLiteral("localhost"), QStringLiteral("media"), QStringLiteral("media.local")}), forUs);
    QCOMPARE(request.isFromAnotherSite(), fromAnotherSite);
}

void tst_tunerDocuments::listenAddressIsRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");  // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("address and port") << QStringLiteral("0.0.0.0:8000") << QStringLiteral("0.0.0.0") << 8000;
    QTest::newRow("address alone") << QStringLiteral("192.168.1.5") << QStringLiteral("192.168.1.5") << 5004;
    QTest::newRow("port alone") << QStringLiteral(":6000") << QStringLiteral("127.0.0.1") << 6000;
    QTest::newRow("IPv6 in brackets") << QStringLiteral("[::1]:5005") << QStringLiteral("::1") << 5005;
    QTest::newRow("bare IPv6") << QStringLiteral("fd00::2") << QStringLiteral("fd00::2") << 5004;
    QTest::newRow("port too large") << QStringLiteral("127.0.0.1:70000") << QStringLiteral("") << 0;
    QTest::newRow("port zero") << QStringLiteral("127.0.0.1:0") << QStringLiteral("") << 0;
    QTest::newRow("host name") << QStringLiteral("tuner.local:80") << QStringLiteral("") << 0;
    QTest::newRow("IPv4 in brackets") << QStringLiteral("[1.2.3.4]:5") << QStringLiteral("") << 0;
}

void tst_tunerDocuments::listenAddressIsRead()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(int, port);
    QHostAddress read(QHostAddress::LocalHost);
    quint16 readPort = TAVO_tuner_options::defaultPort;

    const bool ok = TAVO_tuner_options::readListen(text, &read, &readPort);

    QCOMPARE(ok, !address.isEmpty());
    if (ok) {
        QCOMPARE(read, QHostAddress(address));
        QCOMPARE(int(readPort), port);
    }
}

void tst_tunerDocuments::ssdpSearchesAreAnswered_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QStringList>("answered");  // the ST of each answer
    const QString udn = QStringLiteral("uuid:0f3c5a52-5d1e-5b7a-9a1e-6c2d8e4f0a11");
    const QByteArray search = "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\nST: ";
    const QString mediaServer = QStringLiteral("urn:schemas-upnp-org:device:MediaServer:1");
    const QString hdHomeRun = QStringLiteral("urn:silicondust-com:device:HDHomeRun:1");
    QTest::newRow("media server (Plex)") << search + mediaServer.toLatin1() + "\r\n\r\n" << QStringList{mediaServer};
    QTest::newRow("HDHomeRun") << search + hdHomeRun.toLatin1() + "\r\n\r\n" << QStringList{hdHomeRun};
    QTest::newRow("root devices") << search + "upnp:rootdevice\r\n\r\n" << QStringList{QStringLiteral("upnp:rootdevice")};
    QTest::newRow("its own UDN") << search + udn.toLatin1() + "\r\n\r\n" << QStringList{udn};
    QTest::newRow("everything") << search + "ssdp:all\r\n\r\n"
                                << QStringList{QStringLiteral("upnp:rootdevice"), udn, mediaServer, hdHomeRun};
    QTest::newRow("header names in small letters, line feeds")
        << QByteArray("M-SEARCH * HTTP/1.1\nman: \"ssdp:discover\"\nst: upnp:rootdevice\n\n") << QStringList{QStringLiteral("upnp:rootdevice")};
    QTest::newRow("another device type") << search + "urn:schemas-upnp-org:device:MediaRenderer:1\r\n\r\n" << QStringList{};
    QTest::newRow("a target ending like ours") << search + "x" + mediaServer.toLatin1() + "\r\n\r\n" << QStringList{};
    QTest::newRow("no MAN") << QByteArray("M-SEARCH * HTTP/1.1\r\nST: ssdp:all\r\n\r\n") << QStringList{};
    QTest::newRow("an announcement") << QByteArray("NOTIFY * HTTP/1.1\r\nNT: upnp:rootdevice\r\nNTS: ssdp:alive\r\n\r\n") << QStringList{};
    QTest::newRow("an answer") << QByteArray("HTTP/1.1 200 OK\r\nST: ssdp:all\r\n\r\n") << QStringList{};
}

void tst_tunerDocuments::ssdpSearchesAreAnswered()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QStringList, answered);
    const QString udn = QStringLiteral("uuid:0f3c5a52-5d1e-5b7a-9a1e-6c2d8e4f0a11");

    const QList<QByteArray> answers = TAVO_tuner_ssdp::answersTo(datagram, udn, QStringLiteral("http://192.168.1.10:5004/device.xml"));

    QStringList targets;
    for (const QByteArray &answer : answers) {
        QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n") && answer.endsWith("\r\n\r\n")
                     && answer.contains("\r\nLOCATION: http://192.168.1.10:5004/device.xml\r\n")
                     && answer.contains("\r\nUSN: " + udn.toLatin1()),
                 answer.constData());
        static const QRegularExpression target(QStringLiteral("\r\nST: ([^\r]*)\r\n"));
        targets.append(target.match(QString::fromLatin1(answer)).captured(1));
    }
    QCOMPARE(targets, answered);
}

QTEST_APPLESS_MAIN(tst_tunerDocuments)
// Only a file of the page's own, a key of the key table and a channel's digits go further.
void tst_tunerDocuments::pageRoutesTakeOnlyWhatTheyCheck_data()
{
    using Kind = TAVO_tuner_page::Route::Kind;
    QTest::addColumn<QString>("path");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("taken");
    QTest::newRow("page") << "/" << Kind::File << "index.html";
    QTest::newRow("page file") << "/page/page.js" << Kind::File << "page.js";
    QTest::newRow("resource elsewhere") << "/page/../tables.js" << Kind::None << "";
    QTest::newRow("file with a path") << "/page/x/page.js" << Kind::None << "";
    QTest::newRow("key") << "/api/key/7e1f-ab/VOL_UP" << Kind::Key << "VOL_UP";
    QTest::newRow("no such key") << "/api/key/7e1f-ab/REBOOT" << Kind::None << "";
    QTest::newRow("key in lower case") << "/api/key/7e1f-ab/ok" << Kind::None << "";
    QTest::newRow("channel") << "/api/channel/7e1f-ab/105" << Kind::Channel << "105";
    QTest::newRow("channel by name") << "/api/channel/7e1f-ab/News" << Kind::None << "";
    QTest::newRow("box id of other characters") << "/api/remote/7e1f_ab" << Kind::None << "";
}

void tst_tunerDocuments::pageRoutesTakeOnlyWhatTheyCheck()
{
    QFETCH(QString, path);
    QFETCH(TAVO_tuner_page::Route::Kind, kind);
    QFETCH(QString, taken);
    const TAVO_tuner_page::Route route = TAVO_tuner_page::Route::of(path);
    QCOMPARE(route.kind, kind);
    QCOMPARE(route.kind == TAVO_tuner_page::Route::Kind::File ? route.file : route.value, taken);
}

void tst_tunerDocuments::wrongPasswordsMakeTheClientWaitLonger()
{
    using Login = TAVO_tuner_access::Login;
    QStandardPaths::setTestModeEnabled(true);
    QString problem;
    QVERIFY(!TAVO_tuner_access::setPassword(QStringLiteral("short"), &problem));
    QVERIFY2(TAVO_tuner_access::setPassword(QStringLiteral("sofa-remote-42"), &problem), qPrintable(problem));
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(20, 0), Qt::UTC);
    TAVO_tuner_access access(true, [&now] { return now; });
    QByteArray cookie;
    qint64 wait = -1;
    const auto logIn = [&](const QString &client, const QString &password) { return access.logIn(client, password, &cookie, &wait); };

    QList<qint64> waits;
    for (int failure = 0; failure < 6; ++failure) {
        QCOMPARE(logIn(QStringLiteral("10.0.0.9"), QStringLiteral("sofa-remote-41")), Login::Wrong);
        waits.append(wait);
        // Even the right password waits, and the wait is not cut short by a fraction of a second.
        if (wait > 0) {
            now = now.addMSecs(wait * 1000 - 500);
            QCOMPARE(logIn(QStringLiteral("10.0.0.9"), QStringLiteral("sofa-remote-42")), Login::Waiting);
            QCOMPARE(wait, 1);
            now = now.addMSecs(500);
        }
    }
    QCOMPARE(waits, QList<qint64>({0, 0, 1, 2, 4, 8}));
    // Another client of the house is not held up.
    QCOMPARE(logIn(QStringLiteral("10.0.0.7"), QStringLiteral("sofa-remote-42")), Login::Accepted);
    const QByteArray session = cookie.left(cookie.indexOf(';'));
    QVERIFY(access.admits("theme=dark; " + session));
    QVERIFY(!access.admits(session.left(session.size() - 1) + (session.endsWith('0') ? "1" : "0")));
    now = now.addSecs(TAVO_tuner_access::sessionSeconds);
    QVERIFY(!access.admits(session));
}

// What a browser is told it must play, from the H.264 stream's parameters as a box sends them.
void tst_tunerDocuments::pictureTypeIsReadFromTheSequenceParameters_data()
{
    QTest::addColumn<QByteArray>("annexB");
    QTest::addColumn<QByteArray>("type");
    const QByteArray sps = QByteArray::fromHex("6764001facd9");
    const QByteArray pps = QByteArray::fromHex("68ebe3cb");
    QTest::newRow("four-byte start codes") << QByteArray::fromHex("00000001") + sps + QByteArray::fromHex("00000001") + pps
                                           << QByteArray("video/mp4; codecs=\"avc1.64001F\"");
    QTest::newRow("after the picture parameters") << QByteArray::fromHex("000001") + pps + QByteArray::fromHex("000001")
                                                        + QByteArray::fromHex("674d4028ff")
                                                    << QByteArray("video/mp4; codecs=\"avc1.4D4028\"");
    QTest::newRow("no sequence parameters") << QByteArray::fromHex("000001") + pps << QByteArray();
    QTest::newRow("cut short") << QByteArray::fromHex("0000016764") << QByteArray();
    QTest::newRow("nothing") << QByteArray() << QByteArray();
}

void tst_tunerDocuments::pictureTypeIsReadFromTheSequenceParameters()
{
    QFETCH(QByteArray, annexB);
    QFETCH(QByteArray, type);
    QCOMPARE(TAVO_tuner_remuxer::mimeTypeOf(annexB), type);
}

#include "tst_tunerDocuments.moc"
