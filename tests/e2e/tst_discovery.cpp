// Discovery, selection, the web page and shutdown, against simulated boxes on loopback.

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_desktop.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QtTest>

#include <csignal>

namespace {

using TAVO_test_desktop::run;

constexpr int discoveryTimeoutMs = 5000;
// Time for a box that should stay unlisted to have gone through everything a listed one does.
constexpr int settleMs = 1500;
const QString clientTitle = QStringLiteral("KLD-450R v0.2.7");

QVariantMap boxFields(const QString &uuid, const QString &address, const QString &name)
{
    return {{"uuid", uuid}, {"address", address}, {"friendlyName", name}};
}

bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

QWidget *webView()
{
    return TAVO_test_windowParts::topLevelOfClass("QWebEngineView");
}

void startClient(QProcess &client, const QString &workingFolder, const QString &tempFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", tempFolder);
    client.setProcessEnvironment(environment);
    client.setWorkingDirectory(workingFolder);
    client.start(QStringLiteral(TAVO_BIN_DIR "/TAVO_Client"), {});
    QVERIFY(client.waitForStarted());
}

bool closeClientWindow(const QProcess &client)
{
    QString windowId;
    const bool found = QTest::qWaitFor([&] {
        windowId = run("xdotool", {"search", "--all", "--pid", QString::number(client.processId()), "--name", clientTitle})
                       .section('\n', 0, 0);
        return !windowId.isEmpty();
    }, discoveryTimeoutMs);
    return found && TAVO_test_desktop::closeWindow(windowId);
}

} // namespace

// One window for the whole run: like the program, it never tears its discovery down.
class tst_discovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void streamerBoxesAppearAsRows();
    void otherDeviceTypeIsIgnored();
    void restartedBoxKeepsItsRow();
    void brokenDescriptionLeavesNoRowAndNoFile_data();
    void brokenDescriptionLeavesNoRowAndNoFile();
    void boxIsListedOnceItsDescriptionAnswers();
    void versionTwoBoxAnsweringAsVersionOneGetsNoRow();
    void clickFetchesRemoteControllerDescription();
    void webUiShowsTheBoxPageAndHidesIt();
    void closingEndsWithStatus1AndRemovesOnlyTheCache_data();
    void closingEndsWithStatus1AndRemovesOnlyTheCache();
    void unusableTempFolderDeletesNothing();
    void cleanupTestCase();

private:
    QStringList rowTexts() const { return TAVO_test_windowParts::rowTexts(window); }
    bool waitForRow(const QString &text) const
    {
        return TAVO_test_windowParts::waitForRow(window, text, discoveryTimeoutMs);
    }
    QPushButton *button(const QString &text) const { return TAVO_test_windowParts::button(window, text); }
    QString newUuid() { return QStringLiteral("e2e0d15c-0000-4000-8000-%1").arg(++uuids, 12, 10, QLatin1Char('0')); }

    TAVO_ui_mainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    int uuids = 0;
};

void tst_discovery::initTestCase()
{
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    table = window->findChild<QTableWidget *>();
}

void tst_discovery::cleanupTestCase()
{
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

void tst_discovery::streamerBoxesAppearAsRows()
{
    const QString versionTwo = newUuid();
    QVariantMap otherVersion = boxFields(versionTwo, "127.0.0.4", "Version Two");
    otherVersion["deviceType"] = "urn:vornex-com:device:TavoStreamer:2";
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(
        {boxFields(newUuid(), "127.0.0.2", "Living Room"), boxFields(newUuid(), "127.0.0.3", "Kitchen"), otherVersion}));
    QVERIFY(sim.start());

    QVERIFY2(waitForRow("Living Room (127.0.0.2)"), qPrintable(rowTexts().join(", ")));
    QVERIFY2(waitForRow("Kitchen (127.0.0.3)"), qPrintable(rowTexts().join(", ")));
    QTest::qWait(settleMs);

    QCOMPARE(table->rowCount(), 2);
    // Discovery goes by the announced type alone: a version 2 box is not even asked.
    QVERIFY(sim.requests(versionTwo).filter("description.xml").isEmpty());
    QVERIFY(!QDir(TAVO_mgr_cache::root() + versionTwo).exists());
}

void tst_discovery::otherDeviceTypeIsIgnored()
{
    QProcess light;
    light.start(QStringLiteral("gupnp-network-light"), {"-i", "lo", "-4"});
    QVERIFY2(light.waitForStarted(), "gupnp-network-light is missing");
    QTest::qWait(settleMs);
    const int rowsBefore = table->rowCount();
    const QStringList foldersBefore = QDir(TAVO_mgr_cache::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);

    const QString uuid = newUuid();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.5", "Hall")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Hall (127.0.0.5)"));
    QTest::qWait(settleMs);

    light.kill();
    light.waitForFinished();
    QCOMPARE(table->rowCount(), rowsBefore + 1);
    QCOMPARE(QDir(TAVO_mgr_cache::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), foldersBefore + QStringList{uuid});
}

void tst_discovery::restartedBoxKeepsItsRow()
{
    const QString uuid = newUuid();
    {
        TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.6", "Study")));
        QVERIFY(sim.start());
        QVERIFY(waitForRow("Study (127.0.0.6)"));
    }
    TAVO_test_boxSim again(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.6", "Study Renamed")));
    QVERIFY(again.start());

    // The record is replaced by the second description; the row keeps its first text.
    const int row = rowTexts().indexOf("Study (127.0.0.6)");
    QVERIFY(QTest::qWaitFor([&] { return window->mManager->getServer(row)->device.friendlyName == "Study Renamed"; },
                            discoveryTimeoutMs));
    QCOMPARE(rowTexts().filter("(127.0.0.6)"), QStringList{"Study (127.0.0.6)"});
    QCOMPARE(window->mManager->getServerCount(), table->rowCount());
}

void tst_discovery::brokenDescriptionLeavesNoRowAndNoFile_data()
{
    QTest::addColumn<QString>("knob");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("404") << "descriptionStatus" << QVariant(404);
    QTest::newRow("301") << "descriptionRedirect" << QVariant("http://127.0.0.2:49152/description.xml");
    QTest::newRow("malformed XML") << "descriptionBody" << QVariant("<root><device><friendlyName>Broken</device>");
    QTest::newRow("oversized") << "descriptionOversizeBytes" << QVariant(2 * 1024 * 1024);
}

void tst_discovery::brokenDescriptionLeavesNoRowAndNoFile()
{
    QFETCH(QString, knob);
    QFETCH(QVariant, value);
    const QString broken = newUuid();
    QVariantMap brokenBox = boxFields(broken, "127.0.0.7", "Broken");
    brokenBox[knob] = value;
    const QString good = QString::fromLatin1(QTest::currentDataTag());
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({brokenBox, boxFields(newUuid(), "127.0.0.8", good)}));
    QVERIFY(sim.start());

    QVERIFY(waitForRow(good + " (127.0.0.8)"));
    QVERIFY(sim.waitForRequest(broken, "description.xml"));
    QTest::qWait(settleMs);

    QVERIFY(rowTexts().filter("127.0.0.7").isEmpty());
    QVERIFY(!QFile::exists(TAVO_mgr_cache::root() + broken + "/DeviceDescription.xml"));
}

// A box announcing before its web server is up is fetched again when it next answers; one
// that never answers is asked ever less often, never more than once per announcement.
void tst_discovery::boxIsListedOnceItsDescriptionAnswers()
{
    QVariantMap late = boxFields(newUuid(), "127.0.0.13", "Late");
    late["descriptionStatus"] = 503;
    late["descriptionFaultyAnswers"] = 2;
    late["maxAge"] = 9;
    const QString broken = newUuid();
    QVariantMap alwaysFailing = boxFields(broken, "127.0.0.14", "Always 503");
    alwaysFailing["descriptionStatus"] = 503;
    alwaysFailing["maxAge"] = 9;
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({late, alwaysFailing}));
    QElapsedTimer running;
    running.start();
    QVERIFY(sim.start());

    QVERIFY2(TAVO_test_windowParts::waitForRow(window, "Late (127.0.0.13)", 30000), qPrintable(rowTexts().join(", ")));
    constexpr int announcementIntervalMs = 2000;
    constexpr int watchedMs = 12000;
    QTest::qWait(int(qMax<qint64>(0, watchedMs - running.elapsed())));
    const int fetches = sim.requests(broken).filter("description.xml").size();
    QVERIFY2(fetches >= 2 && fetches <= 1 + watchedMs / announcementIntervalMs, qPrintable(QString::number(fetches)));
    QVERIFY(rowTexts().filter("127.0.0.14").isEmpty());
}

// A version 2 box found by a search answers as version 1 (UPnP demands it); its description
// says what it is. The box runs before the client starts, so a search is all the client hears.
void tst_discovery::versionTwoBoxAnsweringAsVersionOneGetsNoRow()
{
    const QString versionTwo = newUuid();
    QVariantMap newer = boxFields(versionTwo, "127.0.0.15", "Attic V2");
    newer["deviceType"] = "urn:vornex-com:device:TavoStreamer:2";
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({newer, boxFields(newUuid(), "127.0.0.16", "Attic V1")}));
    QVERIFY(sim.start());

    TAVO_ui_mainWindow startedLater;
    QVERIFY(TAVO_test_windowParts::waitForRow(&startedLater, "Attic V1 (127.0.0.16)", discoveryTimeoutMs));
    QVERIFY(sim.waitForRequest(versionTwo, "description.xml"));
    QTest::qWait(settleMs);

    QCOMPARE(TAVO_test_windowParts::rowTexts(&startedLater), QStringList{"Attic V1 (127.0.0.16)"});
    QVERIFY(!QFile::exists(TAVO_mgr_cache::root() + versionTwo + "/DeviceDescription.xml"));
}

void tst_discovery::clickFetchesRemoteControllerDescription()
{
    const QString uuid = newUuid();
    QVariantMap box = boxFields(uuid, "127.0.0.10", "Bedroom");
    box["rcuFile"] = "tv-remote.xml";
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(box));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Bedroom (127.0.0.10)"));
    QVERIFY(!button("Controller")->isEnabled());

    QVERIFY(TAVO_test_windowParts::clickServerRow(window, "Bedroom (127.0.0.10)"));

    QVERIFY(button("Controller")->isEnabled());
    QVERIFY(sim.waitForRequest(uuid, "GET /rcu/tv-remote.xml HTTP/1.1"));
    const QString saved = TAVO_mgr_cache::boxFile(uuid, "/rcu/tv-remote.xml");
    QTRY_VERIFY(QFile::exists(saved));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("totalAmount"));
}

void tst_discovery::webUiShowsTheBoxPageAndHidesIt()
{
    const QString uuid = newUuid();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.11", "Garage")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Garage (127.0.0.11)"));
    QVERIFY(TAVO_test_windowParts::clickServerRow(window, "Garage (127.0.0.11)"));
    QVERIFY2(!webEngineMapped(), "the web engine is loaded before the first WebUI press");

    button("WebUI")->click();
    QWidget *view = webView();
    QVERIFY(view);
    QSignalSpy loaded(view, SIGNAL(loadFinished(bool)));
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QCOMPARE(view->size(), QSize(900, 600));
    QCOMPARE(view->property("url").toUrl(), QUrl("http://127.0.0.11/"));
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.first().first().toBool(), true);
    QVERIFY(sim.waitForRequest(uuid, "GET / HTTP/1.1"));
    QTest::qWait(500);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(TAVO_BIN_DIR "/../tst_discovery_webui.png"));

    button("WebUI")->click();
    QTRY_VERIFY(view->isHidden());
    QCOMPARE(webView(), view);
}

void tst_discovery::closingEndsWithStatus1AndRemovesOnlyTheCache_data()
{
    QTest::addColumn<int>("quitSignal");  // 0: the window's close button
    QTest::newRow("window closed") << 0;
    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("terminated") << int(SIGTERM);
    QTest::newRow("hung up") << int(SIGHUP);
}

void tst_discovery::closingEndsWithStatus1AndRemovesOnlyTheCache()
{
    QFETCH(int, quitSignal);
    QTemporaryDir workingFolder;
    QTemporaryDir tempFolder;
    QVERIFY(QDir(workingFolder.path()).mkpath("xml/box"));
    QFile own(workingFolder.filePath("xml/box/own.xml"));
    QVERIFY(own.open(QIODevice::WriteOnly) && own.write("mine") == 4);
    own.close();
    const QString uuid = newUuid();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.12", "Attic")));
    QVERIFY(sim.start());

    QProcess client;
    startClient(client, workingFolder.path(), tempFolder.path());

    // The cache root is the one folder the client makes in its temporary folder.
    QString cacheRoot;
    QVERIFY(QTest::qWaitFor([&] {
        const QStringList roots = QDir(tempFolder.path()).entryList({"TAVO_Client-*"}, QDir::Dirs);
        cacheRoot = roots.isEmpty() ? QString() : tempFolder.filePath(roots.first());
        return !roots.isEmpty() && QFile::exists(cacheRoot + "/" + uuid + "/DeviceDescription.xml");
    }, discoveryTimeoutMs));

    if (quitSignal == 0)
        QVERIFY(closeClientWindow(client));
    else
        ::kill(pid_t(client.processId()), quitSignal);

    QVERIFY(client.waitForFinished(10000));
    const QByteArray log = client.readAllStandardError();
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 1);
    QVERIFY2(log.contains("Close Event") && log.contains("Delete XML Success"), log.constData());
    QVERIFY(!QDir(cacheRoot).exists());
    QVERIFY(QDir(tempFolder.path()).entryList({"TAVO_Client-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("mine"));
}

// A temporary folder the client cannot use leaves it without a cache: it says so, and
// closing deletes nothing at all (an invalid cache folder once made the delete start at "/").
void tst_discovery::unusableTempFolderDeletesNothing()
{
    QTemporaryDir beside;
    QFile canary(beside.filePath("canary.txt"));
    QVERIFY(canary.open(QIODevice::WriteOnly) && canary.write("alive") == 5);
    canary.close();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(newUuid(), "127.0.0.17", "Cellar")));
    QVERIFY(sim.start());

    QProcess client;
    startClient(client, beside.path(), beside.filePath("missing"));
    QTest::qWait(settleMs);
    QVERIFY(closeClientWindow(client));

    QVERIFY(client.waitForFinished(10000));
    const QByteArray log = client.readAllStandardError();
    QCOMPARE(client.exitCode(), 1);
    QVERIFY2(log.contains("Cannot create cache folder") && !log.contains("Delete XML Success"), log.constData());
    QVERIFY(!log.contains("DeviceDescription.xml"));
    QCOMPARE(QDir(beside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"canary.txt"});
    QVERIFY(canary.open(QIODevice::ReadOnly));
    QCOMPARE(canary.readAll(), QByteArray("alive"));
}

QTEST_MAIN(tst_discovery)
#include "tst_discovery.moc"
