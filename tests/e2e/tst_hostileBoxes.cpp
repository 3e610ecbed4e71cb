// Hostile and failing boxes against the real main window: boxes that fall silent, never finish
// a document, send huge ones, come by the hundred, vanish, or refuse every key. For each case
// the client must keep its event loop running, keep its memory bounded, write nothing into its
// home or working folder, and show only what a sound box would have made it show.

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_processStats.h"
#include "TAVO_test_stallMeter.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_xml_xmlDownloader.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace TAVO_test_windowParts;

namespace {

// Generous bounds: they catch a hang or a leak that grows with what a box sends, not speed.
// Work that waited for a box inside the event loop would stall it for as long as the box keeps
// it waiting, up to the download's time limit; a busy machine stalls it for a second or two.
constexpr qint64 stallBoundMs = TAVO_xml_xmlDownloader::timeLimitMs / 2;
constexpr qint64 memoryGrowthBoundKiB = 96 * 1024;
// libVLC's decoders, buffers and its OpenGL output (software rendering) while a stream plays.
constexpr qint64 playbackMemoryGrowthBoundKiB = 320 * 1024;
// The browser engine maps some hundred megabytes into the process when WebUI first opens.
constexpr qint64 webMemoryGrowthBoundKiB = 512 * 1024;
constexpr int downloadLimitMs = TAVO_xml_xmlDownloader::timeLimitMs;
// Longer than any test waits: to the client, a box that answers this late never answers.
constexpr int neverMs = 600000;
constexpr int crowdSize = 500;
// Announcements and answers lost in the first burst are made up by the client's next searches.
constexpr int crowdListingMs = 90000;
// Counting the listed rows compares 500 texts with 500; checked now and then, not at every event.
constexpr int crowdCheckEveryMs = 250;
const QString descriptionRequest = QStringLiteral("GET /description.xml HTTP/1.1");
const QString rcuRequest = QStringLiteral("GET /rcu/remote.xml HTTP/1.1");

QString uuidFor(int number)
{
    return QStringLiteral("4057113e-0000-4000-8000-%1").arg(number, 12, 10, QLatin1Char('0'));
}

QVariantMap boxFields(const QString &uuid, const QString &address, const QString &name, const QVariantMap &knobs = {})
{
    QVariantMap box{{"uuid", uuid}, {"address", address}, {"friendlyName", name},
                    {"controllers", QVariantList{QVariantMap{{"id", "1"}, {"name", "TV"},
                                                             {"supportKeys", "PWR,MENU,VOL_UP"}}}}};
    box.insert(knobs);
    return box;
}

QString rowText(const QString &name, const QString &address)
{
    return name + QStringLiteral(" (") + address + QLatin1Char(')');
}

QString descriptionFile(const QString &uuid)
{
    return TAVO_mgr_cache::boxFile(uuid, QStringLiteral("/DeviceDescription.xml"));
}

QString rcuFile(const QString &uuid)
{
    return TAVO_mgr_cache::boxFile(uuid, QStringLiteral("/rcu/remote.xml"));
}

// A remote-controller description is complete once its closing tag has been written.
bool isCompleteRcuFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(file.size() - 16);
    return file.readAll().contains("</RcuXml>");
}

int countOf(const QStringList &lines, const QString &contains)
{
    return int(lines.filter(contains).size());
}

// Every file and folder below `folder`, as paths relative to it.
QStringList entriesOf(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    return entries;
}

QVariantList manyControllers(int count)
{
    QVariantList controllers;
    for (int i = 1; i <= count; ++i)
        controllers << QVariantMap{{"id", QString::number(i)}, {"name", QStringLiteral("Remote %1").arg(i)},
                                   {"supportKeys", "PWR,MENU"}};
    return controllers;
}

// What the client wrote into HOME since `before` was listed, leaving out what it may write there: the GnuTLS known-hosts
// file of an encrypted start, and the link to its runtime folder that the PulseAudio client
// library (libVLC's first choice of sound output) keeps for every program that plays sound.
QStringList writtenIntoHome(const QStringList &before)
{
    QStringList written = entriesOf(QDir::homePath());
    written.removeIf([&before](const QString &entry) {
        return before.contains(entry) || entry == QLatin1String(".config")
               || entry.startsWith(QLatin1String(".config/pulse")) || entry.startsWith(QLatin1String(".gnutls"));
    });
    return written;
}

double mebibytes(qint64 kibibytes)
{
    return double(kibibytes) / 1024.0;
}

} // namespace

// One window for the whole run: like the program, it never tears its discovery down. The
// working folder and HOME are fresh folders of the test's own (see main).
class tst_hostileBoxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void unfinishedDescriptionLeavesNoRow_data();
    void unfinishedDescriptionLeavesNoRow();
    void unfinishedRemoteControllerDescriptionLeavesControllerInert_data();
    void unfinishedRemoteControllerDescriptionLeavesControllerInert();
    void hugeRemoteControllerDescription_data();
    void hugeRemoteControllerDescription();
    void silentStreamWatchRunsUntilStop();
    void boxVanishingWhilePlayingLeavesStopWorking();
    void silentKeyServiceTimesOutAndLaterKeysGoOut();
    void everyKeyRefusedWith515();
    void silentWebPageOpensItsWindow();
    void fiveHundredBoxesAnnouncingAtOnce();

private:
    QString newUuid() { return uuidFor(++uuids); }
    QWidget *openPanel(const QString &uuid, const QString &row);
    void pressController();
    void expectNothingWrittenOutsideCache();

    TAVO_ui_mainWindow *window = nullptr;
    TAVO_test_stallMeter *stalls = nullptr;
    TAVO_test_processStats::Memory memoryBefore;
    qint64 memoryGrowthBound = memoryGrowthBoundKiB;
    QString workingFolder;
    QStringList homeBefore;  // reported once, by the case that wrote it
    int uuids = 0;
};

void tst_hostileBoxes::initTestCase()
{
    workingFolder = QDir::currentPath();
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    stalls = new TAVO_test_stallMeter;
}

void tst_hostileBoxes::init()
{
    memoryGrowthBound = memoryGrowthBoundKiB;
    homeBefore = entriesOf(QDir::homePath());
    memoryBefore = TAVO_test_processStats::memoryOf();
    QVERIFY(TAVO_test_processStats::resetPeak());
    stalls->restart();
}

void tst_hostileBoxes::cleanup()
{
    const qint64 stallMs = stalls->longestStallMs();
    const TAVO_test_processStats::Memory after = TAVO_test_processStats::memoryOf();
    qInfo("%s: longest stall %lld ms; VmRSS %.1f -> %.1f MiB, VmHWM %.1f MiB (peak growth %.1f MiB)",
          QTest::currentDataTag() ? QTest::currentDataTag() : QTest::currentTestFunction(), stallMs,
          mebibytes(memoryBefore.residentKiB), mebibytes(after.residentKiB), mebibytes(after.peakKiB),
          mebibytes(after.peakKiB - memoryBefore.residentKiB));

    button(window, QStringLiteral("Stop"))->click();
    if (QWidget *panel = topLevelOfClass("TAVO_ui_controller"))
        panel->hide();
    if (QWidget *web = topLevelOfClass("QWebEngineView"))
        web->hide();

    QVERIFY2(stallMs < stallBoundMs, qPrintable(QStringLiteral("event loop stalled %1 ms").arg(stallMs)));
    // The sanitizers' shadow memory, redzones and quarantine grow a process by hundreds of MiB.
    if (!qEnvironmentVariableIsSet("TAVO_SANITIZED"))
        QVERIFY2(after.peakKiB - memoryBefore.residentKiB < memoryGrowthBound,
                 qPrintable(QStringLiteral("resident memory grew by %1 MiB").arg(mebibytes(after.peakKiB - memoryBefore.residentKiB))));
    expectNothingWrittenOutsideCache();
}

void tst_hostileBoxes::cleanupTestCase()
{
    delete stalls;
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

void tst_hostileBoxes::expectNothingWrittenOutsideCache()
{
    QVERIFY2(entriesOf(workingFolder).isEmpty(), qPrintable(entriesOf(workingFolder).join(", ")));
    const QStringList written = writtenIntoHome(homeBefore);
    QVERIFY2(written.isEmpty(), qPrintable(QStringLiteral("HOME: ") + written.join(", ")));
}

void tst_hostileBoxes::pressController()
{
    QTest::mouseClick(button(window, QStringLiteral("Controller")), Qt::LeftButton);
}

// Selects the box, waits for its remote-controller description and opens the panel on it.
QWidget *tst_hostileBoxes::openPanel(const QString &uuid, const QString &row)
{
    if (!waitForRow(window, row) || !clickServerRow(window, row))
        return nullptr;
    if (!QTest::qWaitFor([&] { return isCompleteRcuFile(rcuFile(uuid)); }, 10000))
        return nullptr;
    pressController();
    QWidget *panel = topLevelOfClass("TAVO_ui_controller");
    return panel && QTest::qWaitForWindowExposed(panel) ? panel : nullptr;
}

// The description a box never finishes: the client's download, bounded in size and time, is
// its only reader (discovery itself fetches nothing).
void tst_hostileBoxes::unfinishedDescriptionLeavesNoRow_data()
{
    QTest::addColumn<QVariantMap>("knobs");
    QTest::addColumn<bool>("killDuringDownload");
    QTest::addColumn<int>("watchMs");  // how long the box may try after its first request

    QTest::newRow("silent") << QVariantMap{{"silent", QVariantList{"description"}}} << false << downloadLimitMs + 2000;
    QTest::newRow("answering too late") << QVariantMap{{"descriptionDelayMs", neverMs}} << false << downloadLimitMs + 2000;
    QTest::newRow("endless") << QVariantMap{{"descriptionEndless", true}} << false << 8000;
    QTest::newRow("killed while the client downloads") << QVariantMap{{"descriptionDelayMs", neverMs}} << true << 3000;
}

void tst_hostileBoxes::unfinishedDescriptionLeavesNoRow()
{
    QFETCH(QVariantMap, knobs);
    QFETCH(bool, killDuringDownload);
    QFETCH(int, watchMs);
    const QString hostile = newUuid();
    const QString good = QString::fromLatin1(QTest::currentDataTag());
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(
        {boxFields(hostile, "127.0.0.20", "Hostile", knobs), boxFields(newUuid(), "127.0.0.21", good)}));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(window, rowText(good, "127.0.0.21")));
    QVERIFY(sim.waitForRequest(hostile, descriptionRequest));
    if (killDuringDownload)
        sim.kill();
    // The download ends by itself and leaves nothing behind, not even its unfinished file. The
    // file goes as the download ends, when the client has done with it.
    const QDir boxFolder(QFileInfo(descriptionFile(hostile)).path());
    QVERIFY(QTest::qWaitFor([&] { return boxFolder.entryList(QDir::Files | QDir::Hidden).isEmpty(); }, watchMs));

    QVERIFY2(rowTexts(window).filter("127.0.0.20").isEmpty(), qPrintable(rowTexts(window).join(", ")));
    QVERIFY(boxFolder.entryList(QDir::Files | QDir::Hidden).isEmpty());
    QCOMPARE(countOf(sim.requests(hostile), descriptionRequest), 1);
}

void tst_hostileBoxes::unfinishedRemoteControllerDescriptionLeavesControllerInert_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("kill");
    QTest::addColumn<int>("watchMs");
    QTest::newRow("silent") << "127.0.0.22" << false << downloadLimitMs + 2000;
    QTest::newRow("killed while the client downloads") << "127.0.0.29" << true << 3000;
}

void tst_hostileBoxes::unfinishedRemoteControllerDescriptionLeavesControllerInert()
{
    QFETCH(QString, address);
    QFETCH(bool, kill);
    QFETCH(int, watchMs);
    const QString uuid = newUuid();
    const QString row = rowText(QStringLiteral("Slow Remote"), address);
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, address, "Slow Remote", {{"rcuDelayMs", neverMs}})));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(window, row));
    QVERIFY(clickServerRow(window, row));
    QVERIFY(sim.waitForRequest(uuid, rcuRequest));
    if (kill)
        sim.kill();

    pressController();
    QVERIFY(!topLevelOfClass("TAVO_ui_controller") || topLevelOfClass("TAVO_ui_controller")->isHidden());
    QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(rcuFile(uuid)); }, watchMs));
    pressController();
    QVERIFY(!topLevelOfClass("TAVO_ui_controller") || topLevelOfClass("TAVO_ui_controller")->isHidden());
}

void tst_hostileBoxes::hugeRemoteControllerDescription_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QVariantMap>("knobs");
    QTest::addColumn<int>("listed");  // 0: the description is refused and the panel stays closed

    QTest::newRow("1,000 controllers") << "127.0.0.30" << QVariantMap{{"controllers", manyControllers(1000)}}
                                       << int(TAVO_KEYS::maxControllers);
    // Just below the download limit: every key of the panel is named in it.
    QTest::newRow("900 kB supportKeys") << "127.0.0.31" << QVariantMap{{"supportKeysBytes", 900 * 1000}} << 1;
    QTest::newRow("10 MB supportKeys") << "127.0.0.32" << QVariantMap{{"supportKeysBytes", 10 * 1000 * 1000}} << 0;
}

void tst_hostileBoxes::hugeRemoteControllerDescription()
{
    QFETCH(QString, address);
    QFETCH(QVariantMap, knobs);
    QFETCH(int, listed);
    const QString uuid = newUuid();
    const QString row = rowText(QStringLiteral("Big Remote"), address);
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, address, "Big Remote", knobs)));
    QVERIFY(sim.start());

    if (listed == 0) {
        QVERIFY(waitForRow(window, row));
        QVERIFY(clickServerRow(window, row));
        QVERIFY(sim.waitForRequest(uuid, rcuRequest));
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(rcuFile(uuid)); }, 5000));
        pressController();
        QVERIFY(!topLevelOfClass("TAVO_ui_controller") || topLevelOfClass("TAVO_ui_controller")->isHidden());
        return;
    }
    QWidget *panel = openPanel(uuid, row);
    QVERIFY(panel);
    auto *choice = panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"));
    QCOMPARE(choice->count(), listed);
    QVERIFY(keyButton(panel, "PWR")->isEnabled());
}

void tst_hostileBoxes::silentStreamWatchRunsUntilStop()
{
    memoryGrowthBound = playbackMemoryGrowthBoundKiB;
    const QString uuid = newUuid();
    const QString row = rowText(QStringLiteral("Mute Stream"), "127.0.0.24");
    TAVO_test_boxSim sim(
        TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.24", "Mute Stream", {{"silent", QVariantList{"stream"}}})));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(window, row));
    QVERIFY(clickServerRow(window, row));
    TAVO_test_messageBoxes boxes;

    // Start watches the start-up inside its click; Stop comes from the loop that watch runs, once
    // the box has been asked for its stream.
    bool stopped = false;
    bool startReturned = false;
    bool startReturnedAfterStop = false;
    QTimer::singleShot(0, window, [&] {
        button(window, QStringLiteral("Start"))->click();
        startReturnedAfterStop = stopped;
        startReturned = true;
    });
    QTimer pressStop;
    connect(&pressStop, &QTimer::timeout, window, [&] {
        if (stopped || sim.requests(uuid).filter(QStringLiteral("8080 GET /?")).isEmpty())
            return;
        stopped = true;
        button(window, QStringLiteral("Stop"))->click();
    });
    pressStop.start(20);
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("8080 GET /?"), 10000));
    QVERIFY(QTest::qWaitFor([&] { return startReturned; }, 10000));

    QVERIFY(startReturnedAfterStop);
    QVERIFY(button(window, QStringLiteral("Start"))->isEnabled());
    QVERIFY(window->player->isIdle());
    for (const TAVO_test_messageBoxes::Seen &seen : boxes.seen)
        qInfo() << "message box during the silent start-up:" << seen.title << seen.text;
}

void tst_hostileBoxes::boxVanishingWhilePlayingLeavesStopWorking()
{
    memoryGrowthBound = playbackMemoryGrowthBoundKiB;
    const QString uuid = newUuid();
    const QString row = rowText(QStringLiteral("Vanishing"), "127.0.0.25");
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.25", "Vanishing")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(window, row));
    QVERIFY(clickServerRow(window, row));
    TAVO_test_messageBoxes boxes;
    button(window, QStringLiteral("Start"))->click();
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("8080 GET /?")));
    QVERIFY(!window->player->isIdle());
    // A second of the stream has been shown.
    QVERIFY(QTest::qWaitFor([&] {
        const std::optional<TAVO_player_vlcPlayer::PictureCounts> counts = window->player->pictureCounts();
        return counts && counts->shown >= 30;
    }, 15000));

    sim.kill();
    QVERIFY(QTest::qWaitFor([&] { return statusMessage(window).startsWith(QStringLiteral("Lost the stream of Vanishing")); },
                            20000));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(TAVO_BIN_DIR "/../hostile-vanished.png"));
    for (const TAVO_test_messageBoxes::Seen &seen : boxes.seen)
        qInfo() << "message box after the box vanished:" << seen.title << seen.text;

    button(window, QStringLiteral("Stop"))->click();
    QVERIFY(window->player->isIdle());
    QVERIFY(button(window, QStringLiteral("Start"))->isEnabled());
}

void tst_hostileBoxes::silentKeyServiceTimesOutAndLaterKeysGoOut()
{
    const QString uuid = newUuid();
    TAVO_test_boxSim sim(
        TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.26", "Deaf Keys", {{"silent", QVariantList{"rcu"}}})));
    QVERIFY(sim.start());
    QWidget *panel = openPanel(uuid, rowText(QStringLiteral("Deaf Keys"), "127.0.0.26"));
    QVERIFY(panel);
    TAVO_test_messageBoxes boxes;

    keyButton(panel, "PWR")->click();
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("&key=PWR ")));
    keyButton(panel, "MENU")->click();
    // MENU waits behind PWR until the sender gives PWR up.
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("&key=MENU "), 10000));
    QCOMPARE(boxes.seen.size(), 0);
}

void tst_hostileBoxes::everyKeyRefusedWith515()
{
    const QString uuid = newUuid();
    const QVariantMap refusals{{"PWR", 515}, {"MENU", 515}, {"VOL_UP", 515}};
    // OK is answered: it follows the others.
    const QVariantList controllers{QVariantMap{{"id", "1"}, {"name", "TV"}, {"supportKeys", "PWR,MENU,VOL_UP,OK"}}};
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(
        boxFields(uuid, "127.0.0.27", "Refuser", {{"keyStatus", refusals}, {"controllers", controllers}})));
    QVERIFY(sim.start());
    QWidget *panel = openPanel(uuid, rowText(QStringLiteral("Refuser"), "127.0.0.27"));
    QVERIFY(panel);
    TAVO_test_messageBoxes boxes;

    keyButton(panel, "PWR")->click();
    keyButton(panel, "MENU")->click();
    keyButton(panel, "VOL_UP")->click();
    QVERIFY(QTest::qWaitFor([&] { return boxes.seen.size() == 1; }, 5000));
    keyButton(panel, "MENU")->click();
    QVERIFY(QTest::qWaitFor([&] { return boxes.seen.size() == 2; }, 5000));
    QVERIFY(QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000));
    keyButton(panel, "OK")->click();
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("&key=OK ")));

    for (const TAVO_test_messageBoxes::Seen &seen : boxes.seen) {
        QCOMPARE(seen.title, QStringLiteral("Error Code : 515"));
        QCOMPARE(seen.text, QStringLiteral("Unable to Access URI"));
    }
    const QStringList sent = sim.requests(uuid);
    QCOMPARE(countOf(sent, "&key=PWR "), 1);
    QCOMPARE(countOf(sent, "&key=MENU "), 1);
    QCOMPARE(countOf(sent, "&key=VOL_UP "), 0);
    QCOMPARE(boxes.seen.size(), 2);
}

void tst_hostileBoxes::silentWebPageOpensItsWindow()
{
    memoryGrowthBound = webMemoryGrowthBoundKiB;
    const QString uuid = newUuid();
    const QString row = rowText(QStringLiteral("Mute Web"), "127.0.0.28");
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.28", "Mute Web", {{"silent", QVariantList{"web"}}})));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(window, row));
    QVERIFY(clickServerRow(window, row));

    button(window, QStringLiteral("WebUI"))->click();
    QWidget *view = topLevelOfClass("QWebEngineView");
    QVERIFY(view);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    // The first press starts the browser engine on the GUI thread, whatever the box does: that
    // pause is the engine's, reported here and left out of what the silent page is held to.
    qInfo("first WebUI press: longest stall %lld ms while the browser engine started", stalls->longestStallMs());
    stalls->restart();
    // The page hangs from here on: the window goes on all the same.
    QVERIFY(sim.waitForRequest(uuid, QStringLiteral("GET / HTTP/1.1"), 20000));
    button(window, QStringLiteral("WebUI"))->click();
    QVERIFY(view->isHidden());
}

void tst_hostileBoxes::fiveHundredBoxesAnnouncingAtOnce()
{
    QList<QVariantMap> crowd;
    QStringList expectedRows;
    QStringList crowdUuids;
    for (int i = 0; i < crowdSize; ++i) {
        const QString address = QStringLiteral("127.0.%1.%2").arg(1 + i / 250).arg(1 + i % 250);
        const QString name = QStringLiteral("Crowd %1").arg(i + 1);
        crowdUuids << newUuid();
        crowd << boxFields(crowdUuids.last(), address, name);
        expectedRows << rowText(name, address);
    }
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(crowd));
    QElapsedTimer sinceStart;
    sinceStart.start();
    QVERIFY(sim.start(60000));
    const qint64 readyMs = sinceStart.elapsed();

    const auto listed = [&] {
        const QStringList rows = rowTexts(window);
        return int(std::count_if(expectedRows.cbegin(), expectedRows.cend(),
                                 [&rows](const QString &row) { return rows.contains(row); }));
    };
    const bool allListed =
        TAVO_test_eventLoop::runUntil([&] { return listed() == crowdSize; }, crowdListingMs, crowdCheckEveryMs);
    const qint64 listedMs = sinceStart.elapsed();
    // Whatever the crowd sent has reached the client by the time a box that comes later is listed.
    const QString marker = newUuid();
    TAVO_test_boxSim later(TAVO_test_boxSim::box(boxFields(marker, "127.0.3.1", "Later")));
    QVERIFY(later.start());
    QVERIFY(waitForRow(window, rowText(QStringLiteral("Later"), "127.0.3.1")));
    const TAVO_test_processStats::Memory simMemory = TAVO_test_processStats::memoryOf(sim.processId());
    qInfo("%d boxes: simulator ready after %lld ms, %d rows after %lld ms; simulator CPU %.1f s, VmHWM %.1f MiB",
          crowdSize, readyMs, listed(), listedMs, TAVO_test_processStats::cpuMs(sim.processId()) / 1000, mebibytes(simMemory.peakKiB));
    QCOMPARE(rowTexts(window).size(), window->mManager->getServerCount());

    // The client reads the description of each box it heard of once, again only if SSDP took
    // the box for gone in between; a box whose announcements were all lost is not asked at all.
    QStringList fetchedOtherwise;
    int heardOf = 0;
    for (const QString &uuid : crowdUuids) {
        const int fetches = countOf(sim.requests(uuid), descriptionRequest);
        heardOf += fetches > 0 ? 1 : 0;
        if (fetches > 2)
            fetchedOtherwise << QStringLiteral("%1: %2").arg(uuid).arg(fetches);
    }
    qInfo("%d of %d boxes were asked for their description", heardOf, crowdSize);
    QVERIFY2(fetchedOtherwise.isEmpty(), qPrintable(fetchedOtherwise.join(", ")));
    // Every box that reached the client is listed: what gets lost is lost before, in SSDP.
    QCOMPARE(listed(), heardOf);
    QVERIFY2(allListed, qPrintable(QStringLiteral("%1 of %2 rows").arg(listed()).arg(crowdSize)));
}

// HOME and the working folder are fresh and must stay empty; the machine has no sound card, so
// ALSA plays into nothing. The client's own debug lines are off unless QT_LOGGING_RULES asks
// for them: hundreds of boxes and megabyte documents would bury the figures this test prints.
int main(int argc, char *argv[])
{
    QTemporaryDir home;
    QTemporaryDir working;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("ALSA_CONFIG_PATH", TAVO_SOURCE_DIR "/tests/support/null.asoundrc");
    QDir::setCurrent(working.path());
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QApplication app(argc, argv);
    tst_hostileBoxes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostileBoxes.moc"
