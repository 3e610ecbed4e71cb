// The tuner service against simulated boxes, as TV software uses it: its documents, a channel's
// stream shared by its clients, a busy box refused and freed, ffprobe on the playlist's URL; and
// as its web page uses it: the boxes, a box's remote, keys pressed and refused.
#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_boxLock.h"
#include "TAVO_test_boxSim.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QXmlStreamReader>

#include <memory>
#include <vector>

namespace {

const QString firstUuid = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e11");
const QString secondUuid = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e12");
const QString encryptedUuid = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e13");
const QString base = QStringLiteral("http://127.0.0.1:5004");
// A safety net for a service that hangs, never a measure of how fast it is.
constexpr int hangMs = 60000;
constexpr qint64 someStream = 200 * 1000;
// Wrong passwords a client may give before it waits, as the manual page says.
constexpr int wrongPasswordsBeforeWaiting = 3;
// As many viewers as the service streams to at once, as its manual page says.
constexpr int viewersServed = 16;

QVariantMap box(const QString &uuid, const QString &address, const QString &name, const QVariantMap &knobs = {})
{
    const QVariantList digits{QVariantMap{{"id", "1"}, {"name", "STB"},
                                          {"supportKeys", "NUM_0,NUM_1,NUM_2,NUM_3,NUM_4,NUM_5,NUM_6,NUM_7,NUM_8,NUM_9,OK"}}};
    // The receiver tunes on the confirming key, not after a pause of its own.
    QVariantMap fields{{"uuid", uuid}, {"address", address}, {"friendlyName", name}, {"controllers", digits},
                       {"channelConfirmKey", "OK"}};
    fields.insert(knobs);
    return fields;
}

// Two boxes of the same list (one pool) and an encrypted one.
QByteArray house()
{
    return TAVO_test_boxSim::boxes({box(firstUuid, "127.0.0.2", "Living Room"), box(secondUuid, "127.0.0.3", "Den"),
                                    box(encryptedUuid, "127.0.0.4", "Bedroom", {{"encryption", "AES128"}})});
}

struct Answer
{
    int status = 0;
    QByteArray body;
    QByteArray head;
};

Answer parse(const QByteArray &received)
{
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    const QList<QByteArray> line = received.left(received.indexOf("\r\n")).split(' ');
    return {line.size() > 1 ? line[1].toInt() : 0, headEnd < 0 ? QByteArray() : received.mid(headEnd + 4),
            received.left(headEnd)};
}

// A client of the service, reading as much as it is given.
class Client
{
public:
    // `headers`: as a browser or TV software sends them, each line ended by CRLF.
    explicit Client(const QString &path, const QByteArray &headers = "Host: 127.0.0.1:5004\r\n",
                    const QByteArray &method = "GET")
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), 5004);
        socket.waitForConnected(hangMs);
        socket.write(method + ' ' + path.toUtf8() + " HTTP/1.1\r\n" + headers + "\r\n");
    }
    // The whole answer of a request the service answers and closes.
    Answer whole()
    {
        while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(hangMs))
            received += socket.readAll();
        return parse(received + socket.readAll());
    }
    // True once the answer has brought that many bytes of stream after a 200.
    bool streams(qint64 bytes)
    {
        while (parse(received).body.size() < bytes && socket.waitForReadyRead(hangMs))
            received += socket.readAll();
        return parse(received).status == 200 && parse(received).body.size() >= bytes;
    }
    int status()
    {
        while (!received.contains("\r\n") && socket.waitForReadyRead(hangMs))
            received += socket.readAll();
        return parse(received).status;
    }

private:
    QTcpSocket socket;
    QByteArray received;
};

class tunerRun
{
public:
    // `knownHosts`: the GnuTLS known hosts of the service's user, as a window before it may have left them.
    // `password`: set for the web page before the service starts.
    explicit tunerRun(const QStringList &arguments = {}, const QByteArray &knownHosts = {}, const QByteArray &password = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path() + QLatin1String("/.config"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path() + QLatin1String("/.local/share"));
        process.setProcessEnvironment(environment);
        TAVO_mgr_channelList list;
        QFile logo(folder.filePath(QStringLiteral("logo.svg")));
        saved = logo.open(QIODevice::WriteOnly)
                && logo.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><script>fetch('/lineup.json')</script></svg>") > 0;
        logo.close();
        list.channels = {{QStringLiteral("Nature World"), QStringLiteral("21"), logo.fileName(), {}, {}},
                         {QStringLiteral("News \"24\""), QStringLiteral("22"), {}, {}, {}}};
        list.confirmKey = QStringLiteral("OK");
        for (const QString &uuid : {firstUuid, secondUuid, encryptedUuid})
            saved = saveList(uuid, list) && saved;
        if (!knownHosts.isEmpty())
            saved = writeKnownHosts(knownHosts) && saved;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (!password.isEmpty()) {
            process.start(QStringLiteral(TAVO_BIN_DIR "/tavo-tuner"), {QStringLiteral("--set-password")});
            process.write(password + '\n');
            process.closeWriteChannel();
            saved = process.waitForFinished(hangMs) && process.exitCode() == 0 && saved;
        }
        process.start(QStringLiteral(TAVO_BIN_DIR "/tavo-tuner"), arguments);
    }
    ~tunerRun()
    {
        process.terminate();
        process.waitForFinished(hangMs);
    }
    // Where the window keeps the box's list for the service's user; read again at every request.
    bool saveList(const QString &uuid, const TAVO_mgr_channelList &list)
    {
        qputenv("XDG_DATA_HOME", process.processEnvironment().value(QStringLiteral("XDG_DATA_HOME")).toLocal8Bit());
        const bool saved = list.save(uuid);
        qunsetenv("XDG_DATA_HOME");
        return saved;
    }
    bool writeKnownHosts(const QByteArray &text)
    {
        QDir().mkpath(folder.filePath(QStringLiteral(".gnutls")));
        QFile file(folder.filePath(QStringLiteral(".gnutls/known_hosts")));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    }
    // True once the service lists every box.
    bool servesEveryBox()
    {
        return saved && QTest::qWaitFor([] { return Client(QStringLiteral("/status")).whole().body.count("<td>free</td>") == 3; }, hangMs);
    }

    QTemporaryDir folder;
    QProcess process;
    bool saved = true;
};

QString channelPath(const QString &uuid, const QString &number)
{
    return QStringLiteral("/channel/") + uuid + QLatin1Char('/') + number;
}

int streamRequests(const TAVO_test_boxSim &sim, const QString &uuid)
{
    return int(sim.requests(uuid).filter(QStringLiteral("8080 GET")).size());
}

int keyRequests(const TAVO_test_boxSim &sim, const QString &uuid)
{
    return int(sim.requests(uuid).filter(QStringLiteral("&key=")).size());
}

// The keys the box received, in order of arrival.
QStringList keysReceived(const TAVO_test_boxSim &sim, const QString &uuid)
{
    QStringList keys;
    static const QRegularExpression key(QStringLiteral("&key=([A-Z0-9_]+)"));
    for (const QString &line : sim.requests(uuid)) {
        if (const QRegularExpressionMatch match = key.match(line); match.hasMatch())
            keys.append(match.captured(1));
    }
    return keys;
}

// What the page's script gets for a press: its JSON answer.
QJsonObject pagePress(const QString &what, const QString &uuid, const QString &value,
                      const QByteArray &headers = "Host: 127.0.0.1:5004\r\nOrigin: http://127.0.0.1:5004\r\n")
{
    return QJsonDocument::fromJson(Client(QStringLiteral("/api/%1/%2/%3").arg(what, uuid, value), headers, "POST").whole().body)
        .object();
}

// True once the status page lists no client: the service saw them go.
bool noClientListed()
{
    return !Client(QStringLiteral("/status")).whole().body.contains(" for 127.0.0.1:");
}

// The first datagram that holds every one of `texts`, once one comes.
QByteArray heardSaying(QUdpSocket &socket, const QList<QByteArray> &texts)
{
    QByteArray found;
    const bool heard = QTest::qWaitFor([&] {
        while (found.isEmpty() && socket.hasPendingDatagrams()) {
            const QByteArray datagram = socket.receiveDatagram().data();
            if (std::all_of(texts.cbegin(), texts.cend(), [&](const QByteArray &text) { return datagram.contains(text); }))
                found = datagram;
        }
        return !found.isEmpty();
    }, hangMs);
    return heard ? found : QByteArray();
}

QByteArray headerOf(const QByteArray &datagram, const QByteArray &name)
{
    for (const QByteArray &line : datagram.split('\n')) {
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    }
    return QByteArray();
}

// The text of each element of an XML document named `name`.
QStringList xmlTexts(const QByteArray &document, const QString &name)
{
    QStringList texts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
            texts.append(xml.readElementText());
    }
    return xml.hasError() ? QStringList{QStringLiteral("not XML: ") + xml.errorString()} : texts;
}

} // namespace

class tst_tuner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void documentsCarryTheFieldsTunerClientsRead();
    void pagesOfOtherSitesNeitherTuneNorRead();
    void clientsOfOneChannelShareOneStream();
    void boxSendingNoStreamIsRefused();
    void clientComingStraightBackFindsTheChannelTuned();
    void viewersBeyondTheServiceLimitAreRefused();
    void busyBoxRefusesAnotherChannelUntilItsClientGoes();
    void recordedBoxIsRefusedWithoutItsLocksDetail();
    void encryptedBoxIsRefusedBeforeItsKeysWhenItsStreamWouldBe();
    void poolGivesEachChannelAFreeBox();
    void numberOfTheLineupReachesTheBoxesServed();
    void ffprobeReadsTheStreamOfThePlaylist();
    void serviceOfTheHomeNetworkIsFoundBySsdp();
    void pagePressesKeysInOrderAndSaysRefusals();
    void pageKeysAreTakenFromThePageOnly_data();
    void pageKeysAreTakenFromThePageOnly();
    void pageAsksForThePasswordBeyondThisComputer();
    void pageInABrowserPressesKeysInOrderAndShowsARefusal();
    void twoBrowsersPlayTheBoxsPictureFromOneStream();
};

void tst_tuner::documentsCarryTheFieldsTunerClientsRead()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());

    const QJsonObject discover = QJsonDocument::fromJson(Client(QStringLiteral("/discover.json")).whole().body).object();
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{8}$")).match(discover[QStringLiteral("DeviceID")].toString()).hasMatch(),
             qPrintable(QJsonDocument(discover).toJson()));
    QCOMPARE(discover[QStringLiteral("BaseURL")].toString(), base);
    QCOMPARE(discover[QStringLiteral("LineupURL")].toString(), base + QLatin1String("/lineup.json"));
    // The encrypted box is no tuner without --allow-encrypted.
    QCOMPARE(discover[QStringLiteral("TunerCount")].toInt(), 2);
    const QJsonArray lineup = QJsonDocument::fromJson(Client(QStringLiteral("/lineup.json")).whole().body).array();
    QCOMPARE(lineup.size(), 2);
    QCOMPARE(lineup[1].toObject()[QStringLiteral("GuideName")].toString(), QStringLiteral("News \"24\""));
    QCOMPARE(lineup[1].toObject()[QStringLiteral("URL")].toString(), base + QLatin1String("/auto/v22"));
    const QJsonObject status = QJsonDocument::fromJson(Client(QStringLiteral("/lineup_status.json")).whole().body).object();
    QCOMPARE(status[QStringLiteral("ScanPossible")].toInt(), 1);
    QCOMPARE(Client(QStringLiteral("/lineup.post?scan=start")).whole().status, 200);
    // In the playlist, but not served without --allow-encrypted; HEAD says so as GET does.
    QCOMPARE(Client(channelPath(encryptedUuid, QStringLiteral("21"))).whole().status, 403);
    QCOMPARE(Client(channelPath(encryptedUuid, QStringLiteral("21")), "Host: 127.0.0.1:5004\r\n", "HEAD").whole().status, 403);
}

// A page elsewhere can make a browser ask (an <img>) and, by DNS rebinding, read what it asked
// for; TV software sends neither the Host of another name nor a browser's site headers.
void tst_tuner::pagesOfOtherSitesNeitherTuneNorRead()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());

    QCOMPARE(Client(QStringLiteral("/lineup.json"), "Host: rebound.example:5004\r\n").whole().status, 421);
    QCOMPARE(Client(channelPath(firstUuid, QStringLiteral("21")), "Host: 127.0.0.1:5004\r\nSec-Fetch-Site: cross-site\r\n")
                 .whole().status, 403);
    QCOMPARE(Client(QStringLiteral("/auto/v21"), "Host: localhost:5004\r\nOrigin: http://evil.example\r\n").whole().status, 403);
    QCOMPARE(keyRequests(sim, firstUuid) + keyRequests(sim, secondUuid), 0);

    QCOMPARE(Client(QStringLiteral("/status"), "Host: localhost:5004\r\nSec-Fetch-Site: none\r\n").whole().status, 200);
    // An SVG logo of an imported list is shown, but its script never runs with the service's origin.
    const Answer logo = Client(QStringLiteral("/logo/") + firstUuid + QLatin1String("/21")).whole();
    QCOMPARE(logo.status, 200);
    QVERIFY2(logo.head.contains("\r\nContent-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; sandbox")
                 && logo.head.contains("\r\nX-Content-Type-Options: nosniff"),
             logo.head.constData());
    Client withoutHost(channelPath(firstUuid, QStringLiteral("21")), QByteArray());
    QVERIFY(withoutHost.streams(someStream));
}

void tst_tuner::clientsOfOneChannelShareOneStream()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());

    Client first(channelPath(firstUuid, QStringLiteral("21")));
    QVERIFY(first.streams(someStream));
    Client second(channelPath(firstUuid, QStringLiteral("21")), "Host: 127.0.0.1:5004\r\nUser-Agent: Kodi/20.1 <b>(Linux)</b>\r\n");
    QVERIFY(second.streams(someStream));

    QCOMPARE(streamRequests(sim, firstUuid), 1);
    // The status page names a viewer by what it says it is, as text.
    const QByteArray page = Client(QStringLiteral("/status")).whole().body;
    QVERIFY2(page.contains("Kodi/20.1 &lt;b&gt;(Linux)&lt;/b&gt; (127.0.0.1:"), page.constData());
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(firstUuid), QStringLiteral("21"), hangMs);
}

// A box that answers its stream's request with an error page: the client hears why, and the
// box is not asked again and again meanwhile.
void tst_tuner::boxSendingNoStreamIsRefused()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(box(firstUuid, "127.0.0.2", "Living Room", {{"streamErrorPage", true}})));
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.count("#EXTINF") == 2; }, hangMs));

    const Answer answer = Client(channelPath(firstUuid, QStringLiteral("21"))).whole();

    QCOMPARE(answer.status, 502);
    QVERIFY2(answer.body.contains("no transport stream"), answer.body.constData());
    QCOMPARE(streamRequests(sim, firstUuid), 1);
}

// TV software (Kodi) opens a channel's address several times in a row: the keys go once.
void tst_tuner::clientComingStraightBackFindsTheChannelTuned()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    auto first = std::make_unique<Client>(channelPath(firstUuid, QStringLiteral("21")));
    QVERIFY(first->streams(someStream));
    const int keysOfTheChannel = keyRequests(sim, firstUuid);
    QVERIFY(keysOfTheChannel > 0);

    first.reset();
    QVERIFY(QTest::qWaitFor(noClientListed, hangMs));
    auto again = std::make_unique<Client>(channelPath(firstUuid, QStringLiteral("21")));
    QVERIFY(again->streams(someStream));
    QCOMPARE(keyRequests(sim, firstUuid), keysOfTheChannel);

    // Kept a moment only: then the box is free again.
    again.reset();
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/status")).whole().body.count("<td>free</td>") == 3; }, hangMs));
}

// Each viewer may have megabytes waiting: their number is bounded, for a small home server.
void tst_tuner::viewersBeyondTheServiceLimitAreRefused()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    std::vector<std::unique_ptr<Client>> viewers;
    for (int i = 0; i < viewersServed; ++i)
        viewers.push_back(std::make_unique<Client>(channelPath(firstUuid, QStringLiteral("21"))));
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/status")).whole().body.count(" since ") == viewersServed + 1; }, hangMs));

    QCOMPARE(Client(channelPath(firstUuid, QStringLiteral("21"))).status(), 503);
    QCOMPARE(Client(QStringLiteral("/auto/v22")).status(), 503);
    viewers.pop_back();
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/status")).whole().body.count(" since ") == viewersServed; }, hangMs));
    QVERIFY(Client(QStringLiteral("/auto/v22")).streams(someStream));
}

void tst_tuner::busyBoxRefusesAnotherChannelUntilItsClientGoes()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    auto viewer = std::make_unique<Client>(channelPath(firstUuid, QStringLiteral("21")));
    QVERIFY(viewer->streams(someStream));

    const Answer refused = Client(channelPath(firstUuid, QStringLiteral("22"))).whole();
    QCOMPARE(refused.status, 503);
    QVERIFY2(refused.body.contains("playing channel 21"), refused.body.constData());
    QVERIFY2(refused.head.contains("\r\nX-HDHomeRun-Error: 804 "), refused.head.constData());
    QCOMPARE(Client(channelPath(firstUuid, QStringLiteral("22")), "Host: 127.0.0.1:5004\r\n", "HEAD").whole().status, 503);
    QCOMPARE(Client(channelPath(firstUuid, QStringLiteral("21")), "Host: 127.0.0.1:5004\r\n", "HEAD").whole().status, 200);

    // The channel kept for a client coming back does not hold the box for another one.
    viewer.reset();
    QVERIFY(QTest::qWaitFor(noClientListed, hangMs));
    Client next(channelPath(firstUuid, QStringLiteral("22")));
    QVERIFY(next.streams(someStream));
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(firstUuid), QStringLiteral("22"), hangMs);
}

// Who holds the lock, and where it lies, is for the service's log; a client learns the box is in use.
void tst_tuner::recordedBoxIsRefusedWithoutItsLocksDetail()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    qputenv("XDG_RUNTIME_DIR", tuner.folder.path().toLocal8Bit());
    TAVO_mgr_boxLock recording(firstUuid);
    QString problem;
    QVERIFY2(recording.take(&problem), qPrintable(problem));

    const Answer refused = Client(channelPath(firstUuid, QStringLiteral("21"))).whole();
    QCOMPARE(refused.status, 503);
    QVERIFY2(refused.body.contains("is busy") && !refused.body.contains("pid") && !refused.body.contains(".lock"),
             refused.body.constData());
    QVERIFY2(refused.head.contains("\r\nX-HDHomeRun-Error: 804 "), refused.head.constData());
    // The status page says who holds the box, and the refusal, but not where the lock lies.
    const QByteArray page = Client(QStringLiteral("/status")).whole().body;
    QVERIFY2(page.contains("being recorded by tst_tuner (pid ") && page.contains(" 503 /channel/" + firstUuid.toUtf8() + "/21 from ")
                 && !page.contains(".lock") && !page.contains(tuner.folder.path().toUtf8()),
             page.constData());
}

// A key pinned for the box's address that is not a box's (another device once answered there)
// refuses its stream: known before a key goes to the box, which is left on its channel. Once the
// line is gone, the service pins the box's key itself, where no window ever played the box.
void tst_tuner::encryptedBoxIsRefusedBeforeItsKeysWhenItsStreamWouldBe()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner({QStringLiteral("--allow-encrypted")}, "|g0|127.0.0.4|https|0|MCowBQYDK2VwAyEAGb9ECWmEzf6FQbrBZ9w7lshQhqowtrbLDFw4rXAxZuE=\n");
    QVERIFY(tuner.servesEveryBox());

    const Answer refused = Client(channelPath(encryptedUuid, QStringLiteral("21"))).whole();
    QCOMPARE(refused.status, 502);
    QVERIFY2(!refused.body.contains("known_hosts"), refused.body.constData());
    QCOMPARE(keyRequests(sim, encryptedUuid), 0);

    QVERIFY(tuner.writeKnownHosts("\n"));
    Client viewer(channelPath(encryptedUuid, QStringLiteral("22")));
    QVERIFY(viewer.streams(someStream));
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(encryptedUuid), QStringLiteral("22"), hangMs);
}

// Both boxes carry the same list: a second channel goes to the free box, a third finds none.
void tst_tuner::poolGivesEachChannelAFreeBox()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());

    Client first(QStringLiteral("/auto/v21"));
    QVERIFY(first.streams(someStream));
    Client second(QStringLiteral("/auto/v22"));
    QVERIFY(second.streams(someStream));
    Client shared(QStringLiteral("/auto/v21"));
    QVERIFY(shared.streams(someStream));

    QTRY_COMPARE_WITH_TIMEOUT(QSet<QString>({sim.tunedChannel(firstUuid), sim.tunedChannel(secondUuid)}),
                              QSet<QString>({QStringLiteral("21"), QStringLiteral("22")}), hangMs);
    QCOMPARE(streamRequests(sim, firstUuid) + streamRequests(sim, secondUuid), 2);
}

// An encrypted box, not served and first by name, whose list tunes the same number otherwise:
// the lineup offers the number from the boxes served, and asking for it reaches them.
void tst_tuner::numberOfTheLineupReachesTheBoxesServed()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    TAVO_mgr_channelList digitsAlone;
    digitsAlone.channels = {{QStringLiteral("Film"), QStringLiteral("21"), {}, {}, {}}};
    QVERIFY(tuner.saveList(encryptedUuid, digitsAlone));

    Client viewer(QStringLiteral("/auto/v21"));
    QVERIFY(viewer.streams(someStream));
    const QString playlist = QString::fromUtf8(Client(QStringLiteral("/playlist.m3u")).whole().body);
    QVERIFY2(playlist.contains(QLatin1String("\n") + base + QLatin1String("/auto/v21\n"))
                 && playlist.contains(QLatin1String("\n") + base + QLatin1String("/channel/") + encryptedUuid + QLatin1String("/21\n")),
             qPrintable(playlist));
}

void tst_tuner::ffprobeReadsTheStreamOfThePlaylist()
{
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(tuner.servesEveryBox());
    const QString playlist = QString::fromUtf8(Client(QStringLiteral("/playlist.m3u")).whole().body);
    // The boxes of one list are one entry a channel, asked for by number.
    QCOMPARE(playlist.count(QLatin1String("#EXTINF")), 2);
    const QString url = playlist.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^http://"))).value(0);
    QCOMPARE(url, base + QLatin1String("/auto/v21"));

    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                            QStringLiteral("stream=codec_type"), QStringLiteral("-of"),
                                            QStringLiteral("csv=p=0"), url});
    QVERIFY(probe.waitForFinished(hangMs));

    const QString kinds = QString::fromUtf8(probe.readAllStandardOutput());
    QVERIFY2(kinds.contains(QStringLiteral("video")) && kinds.contains(QStringLiteral("audio")),
             qPrintable(kinds + QString::fromUtf8(probe.readAllStandardError())));
}

// Plex and Channels DVR find tuners by SSDP and read their description. Listening beyond loopback
// (in the test's private network only loopback exists, and every datagram stays on it), the
// service announces itself, answers a search and says goodbye when it ends.
void tst_tuner::serviceOfTheHomeNetworkIsFoundBySsdp()
{
    const QHostAddress group(QStringLiteral("239.255.255.250"));
    const QNetworkInterface loopback = QNetworkInterface::interfaceFromName(QStringLiteral("lo"));
    QUdpSocket announcements;
    QVERIFY(announcements.bind(QHostAddress::AnyIPv4, 1900, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    QVERIFY(announcements.joinMulticastGroup(group, loopback));
    TAVO_test_boxSim sim(house());
    QVERIFY(sim.start());
    auto tuner = std::make_unique<tunerRun>(QStringList{QStringLiteral("--listen"), QStringLiteral("0.0.0.0:5004")});
    QVERIFY(tuner->servesEveryBox());
    const QByteArray hdHomeRun = "urn:silicondust-com:device:HDHomeRun:1";
    QVERIFY(!heardSaying(announcements, {"NTS: ssdp:alive", "NT: " + hdHomeRun}).isEmpty());

    QUdpSocket search;
    QVERIFY(search.bind(QHostAddress::AnyIPv4, 0));
    search.setMulticastInterface(loopback);
    search.writeDatagram("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\n"
                         "ST: urn:schemas-upnp-org:device:MediaServer:1\r\n\r\n",
                         group, 1900);
    const QByteArray answer = heardSaying(search, {"HTTP/1.1 200 OK", "ST: urn:schemas-upnp-org:device:MediaServer:1"});
    QCOMPARE(headerOf(answer, "LOCATION"), base.toUtf8() + "/device.xml");

    const QByteArray description = Client(QStringLiteral("/device.xml")).whole().body;
    QCOMPARE(xmlTexts(description, QStringLiteral("URLBase")), QStringList{base});
    QCOMPARE(xmlTexts(description, QStringLiteral("UDN")).value(0) + QLatin1String("::urn:schemas-upnp-org:device:MediaServer:1"),
             QString::fromUtf8(headerOf(answer, "USN")));
    QCOMPARE(xmlTexts(Client(QStringLiteral("/lineup.xml")).whole().body, QStringLiteral("GuideNumber")),
             QStringList({QStringLiteral("21"), QStringLiteral("22")}));

    tuner.reset();
    QVERIFY(!heardSaying(announcements, {"NTS: ssdp:byebye", "NT: " + hdHomeRun}).isEmpty());
}

// A box whose controller has a few keys, one of which the box refuses as not learned.
QByteArray steeredHouse()
{
    const QVariantList controller{QVariantMap{{"id", "1"}, {"name", "STB"}, {"supportKeys", "NUM_1,NUM_2,OK,UP,DOWN,INFO"}}};
    return TAVO_test_boxSim::boxes({box(firstUuid, "127.0.0.2", "Living Room",
                                        {{"controllers", controller}, {"keyStatus", QVariantMap{{"INFO", 514}}}})});
}

void tst_tuner::pagePressesKeysInOrderAndSaysRefusals()
{
    TAVO_test_boxSim sim(steeredHouse());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.contains("#EXTINF"); }, hangMs));

    const Answer page = Client(QStringLiteral("/")).whole();
    QCOMPARE(page.status, 200);
    QVERIFY2(page.head.contains("\r\nContent-Security-Policy: default-src 'self'"), page.head.constData());
    QVERIFY(page.body.contains("<script src=\"/page/tables.js\">"));
    QVERIFY(Client(QStringLiteral("/page/tables.js")).whole().body.contains("\"key\":\"VOL_UP\""));
    const QJsonArray boxes = QJsonDocument::fromJson(Client(QStringLiteral("/api/boxes")).whole().body)[QStringLiteral("boxes")].toArray();
    QCOMPARE(boxes.size(), 1);
    const QJsonObject nature = boxes[0][QStringLiteral("channels")][0].toObject();
    QCOMPARE(nature[QStringLiteral("name")].toString(), QStringLiteral("Nature World"));
    QCOMPARE(nature[QStringLiteral("logo")].toString(), QLatin1String("/logo/") + firstUuid + QLatin1String("/21"));
    const QJsonObject remote = QJsonDocument::fromJson(Client(QStringLiteral("/api/remote/") + firstUuid).whole().body).object();
    QCOMPARE(remote[QStringLiteral("keys")].toArray().toVariantList(),
             QVariantList({"OK", "UP", "DOWN", "INFO", "NUM_1", "NUM_2"}));

    for (const QString &key : {QStringLiteral("DOWN"), QStringLiteral("UP"), QStringLiteral("OK")})
        QCOMPARE(pagePress(QStringLiteral("key"), firstUuid, key)[QStringLiteral("ok")].toBool(), true);
    const QJsonObject refused = pagePress(QStringLiteral("key"), firstUuid, QStringLiteral("INFO"));
    QCOMPARE(refused[QStringLiteral("title")].toString(), QStringLiteral("Error Code : 514"));
    QCOMPARE(refused[QStringLiteral("refusal")].toString(), QStringLiteral("RCU Key Not Learned / Supported"));
    // A key the controller lacks is refused as the panel keeps its button disabled: never sent.
    QVERIFY(pagePress(QStringLiteral("key"), firstUuid, QStringLiteral("MENU"))[QStringLiteral("refusal")].toString().contains("has no key MENU"));
    QCOMPARE(pagePress(QStringLiteral("channel"), firstUuid, QStringLiteral("21"))[QStringLiteral("ok")].toBool(), true);
    QCOMPARE(keysReceived(sim, firstUuid), QStringList({"DOWN", "UP", "OK", "INFO", "NUM_2", "NUM_1", "OK"}));
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(firstUuid), QStringLiteral("21"), hangMs);

    // The box sends MPEG-2, as it does unless asked otherwise: no browser plays it.
    const Answer picture = Client(QStringLiteral("/api/picture/") + firstUuid).whole();
    QCOMPARE(picture.status, 415);
    QVERIFY2(picture.body.contains("set its stream to H.264"), picture.body.constData());
}

void tst_tuner::pageKeysAreTakenFromThePageOnly_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    const QByteArray host = "Host: 127.0.0.1:5004\r\n";
    // An <img> or a link of another page asks by GET.
    QTest::newRow("GET") << QByteArray("GET") << QByteArray(host + "Sec-Fetch-Site: same-origin\r\n") << 405;
    QTest::newRow("another site's page") << QByteArray("POST") << QByteArray(host + "Origin: http://evil.example\r\n") << 403;
    QTest::newRow("another site by fetch metadata")
        << QByteArray("POST") << QByteArray(host + "Origin: http://127.0.0.1:5004\r\nSec-Fetch-Site: same-site\r\n") << 403;
    // Neither a browser's page nor TV software presses keys: a plain POST says nothing of its page.
    QTest::newRow("no page named") << QByteArray("POST") << host << 403;
    QTest::newRow("rebound name") << QByteArray("POST")
                                  << QByteArray("Host: rebound.example:5004\r\nOrigin: http://rebound.example:5004\r\n") << 421;
}

void tst_tuner::pageKeysAreTakenFromThePageOnly()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    TAVO_test_boxSim sim(steeredHouse());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.contains("#EXTINF"); }, hangMs));

    QCOMPARE(Client(QStringLiteral("/api/key/") + firstUuid + QLatin1String("/UP"), headers, method).whole().status, status);
    QCOMPARE(Client(QStringLiteral("/api/channel/") + firstUuid + QLatin1String("/21"), headers, method).whole().status, status);
    QCOMPARE(keyRequests(sim, firstUuid), 0);
}

// Listening on every address of the private network, as on a home network: the page needs the
// owner's password; TV software's routes stay as they were.
void tst_tuner::pageAsksForThePasswordBeyondThisComputer()
{
    TAVO_test_boxSim sim(steeredHouse());
    QVERIFY(sim.start());
    tunerRun tuner({QStringLiteral("--listen"), QStringLiteral("0.0.0.0:5004")}, {}, "sofa-remote-42");
    QVERIFY(tuner.saved);
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.contains("#EXTINF"); }, hangMs));
    const QByteArray page = "Host: 127.0.0.1:5004\r\nOrigin: http://127.0.0.1:5004\r\n";
    const auto logIn = [&page](const QByteArray &password, const QByteArray &headers = {}) {
        return Client(QStringLiteral("/api/login"), (headers.isEmpty() ? page : headers) + "Authorization: Basic " + (':' + password).toBase64() + "\r\n",
                      "POST").whole();
    };
    QVERIFY(!QFile(tuner.folder.filePath(QStringLiteral(".config/TAVO/tavo-tuner.conf"))).readAll().contains("sofa"));

    QCOMPARE(Client(QStringLiteral("/api/boxes")).whole().status, 401);
    QCOMPARE(Client(QStringLiteral("/api/key/") + firstUuid + QLatin1String("/UP"), page, "POST").whole().status, 401);
    QCOMPARE(logIn("sofa-remote-42", "Host: 127.0.0.1:5004\r\nOrigin: http://evil.example\r\n").status, 403);
    const Answer loggedIn = logIn("sofa-remote-42");
    QCOMPARE(loggedIn.status, 200);
    static const QRegularExpression setCookie(QStringLiteral("\r\nSet-Cookie: (tavo_session=[0-9a-f]{64}); Path=/; HttpOnly; SameSite=Strict"));
    const QRegularExpressionMatch cookie = setCookie.match(QString::fromLatin1(loggedIn.head));
    QVERIFY2(cookie.hasMatch(), loggedIn.head.constData());
    const QByteArray session = "Cookie: " + cookie.captured(1).toLatin1() + "\r\n";

    QCOMPARE(Client(QStringLiteral("/api/boxes"), "Host: 127.0.0.1:5004\r\n" + session).whole().status, 200);
    QCOMPARE(Client(QStringLiteral("/api/key/") + firstUuid + QLatin1String("/UP"),
                    "Host: 127.0.0.1:5004\r\nOrigin: http://evil.example\r\n" + session, "POST").whole().status, 403);
    QCOMPARE(pagePress(QStringLiteral("key"), firstUuid, QStringLiteral("DOWN"), page + session)[QStringLiteral("ok")].toBool(), true);
    QCOMPARE(keysReceived(sim, firstUuid), QStringList({"DOWN"}));

    // Wrong passwords: the first few are only refused, then the client waits (how long grows
    // with each, which tst_tunerDocuments follows on an injected clock).
    for (int failure = 1; failure < wrongPasswordsBeforeWaiting; ++failure)
        QCOMPARE(logIn("sofa-remote-41").status, 401);
    const Answer waiting = logIn("sofa-remote-41");
    QCOMPARE(waiting.status, 401);
    QVERIFY2(waiting.body.contains("try again in 1 s"), waiting.body.constData());
}

// Keys pressed on the keyboard faster than the box answers reach it in the order pressed, and
// the box's refusal shows as the window shows it.
void tst_tuner::pageInABrowserPressesKeysInOrderAndShowsARefusal()
{
    TAVO_test_boxSim sim(steeredHouse());
    QVERIFY(sim.start());
    tunerRun tuner;
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.contains("#EXTINF"); }, hangMs));

    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's Python, with Debian's python3-websocket (scripts/packages.txt).
    browser.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TAVO_SOURCE_DIR "/tests/e2e/pageInChromium.py"),
                                              QStringLiteral("keys"), base + QLatin1String("/#box=") + firstUuid,
                                              QStringLiteral("ArrowDown,ArrowUp,ArrowDown,Enter"), QStringLiteral("INFO")});
    QVERIFY(browser.waitForFinished(3 * hangMs));
    QCOMPARE(browser.exitCode(), 0);
    const QJsonObject shown = QJsonDocument::fromJson(browser.readAllStandardOutput()).object();
    QCOMPARE(shown[QStringLiteral("title")].toString(), QStringLiteral("Error Code : 514"));
    QCOMPARE(shown[QStringLiteral("text")].toString(), QStringLiteral("RCU Key Not Learned / Supported"));
    QCOMPARE(keysReceived(sim, firstUuid), QStringList({"DOWN", "UP", "DOWN", "OK", "INFO"}));
}

// The box's H.264 picture, repackaged once, plays in two browsers; the box sends one stream.
void tst_tuner::twoBrowsersPlayTheBoxsPictureFromOneStream()
{
    TAVO_test_boxSim sim(steeredHouse());
    QVERIFY(sim.start());
    tunerRun tuner({QStringLiteral("--video-codec"), QStringLiteral("h264")});
    QVERIFY(QTest::qWaitFor([] { return Client(QStringLiteral("/playlist.m3u")).whole().body.contains("#EXTINF"); }, hangMs));

    QProcess browsers;
    browsers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browsers.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TAVO_SOURCE_DIR "/tests/e2e/pageInChromium.py"),
                                               QStringLiteral("picture"), base + QLatin1String("/#box=") + firstUuid,
                                               QStringLiteral("2")});
    QVERIFY(browsers.waitForFinished(3 * hangMs));
    QCOMPARE(browsers.exitCode(), 0);
    const QJsonArray frames = QJsonDocument::fromJson(browsers.readAllStandardOutput())[QStringLiteral("frames")].toArray();
    QCOMPARE(frames.size(), 2);
    for (const QJsonValue &browser : frames)
        QVERIFY(browser[1].toInt() > browser[0].toInt());
    QCOMPARE(streamRequests(sim, firstUuid), 1);
}

QTEST_GUILESS_MAIN(tst_tuner)
#include "tst_tuner.moc"
