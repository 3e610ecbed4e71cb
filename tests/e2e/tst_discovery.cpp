// Discovery, boxes added by address, selection, the web page and shutdown, against simulated
// boxes on loopback.

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_rememberedBoxes.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_desktop.h"
#include "TAVO_test_downloads.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QToolTip>
#include <QtTest>

#include <csignal>

#include <unistd.h>

namespace {

using TAVO_test_desktop::run;

constexpr int discoveryTimeoutMs = 5000;
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

// Whether the screen shows dark pixels, as of text, where the widget is.
bool showsText(QWidget *widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
                             .toImage();
    for (int y = 0; y < shown.height(); y += 2) {
        for (int x = 0; x < shown.width(); x += 2) {
            if (qGray(shown.pixel(x, y)) < 100)
                return true;
        }
    }
    return false;
}

QVariantMap boxNoMulticastReaches(const QString &uuid, const QString &address, const QString &name)
{
    QVariantMap box = boxFields(uuid, address, name);
    box["ssdp"] = "unicast";
    return box;
}

QStringList rememberedAddresses()
{
    QStringList addresses;
    for (const TAVO_mgr_rememberedBoxes::Box &box : TAVO_mgr_rememberedBoxes::boxes())
        addresses << box.address + " " + box.name;
    return addresses;
}

// The whole X display as ImageMagick sees it, popups included, into the build folder, once the
// screen shows `shown` as it is drawn.
void saveScreen(const QString &name, QWidget *shown = nullptr)
{
    if (shown)
        TAVO_test_windowParts::waitUntilShown(shown);
    run("import", {"-window", "root", QStringLiteral(TAVO_BIN_DIR "/../") + name});
}

void startClient(QProcess &client, const QString &workingFolder, const QString &tempFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", tempFolder);
    // What the client says of its cache folder is off unless asked for.
    environment.insert("QT_LOGGING_RULES", "tavo.mgr.cache.debug=true");
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
    void statusLineAndRowFollowTheBox();
    void streamerBoxesAppearAsRows();
    void otherDeviceTypeIsIgnored();
    void restartedBoxKeepsItsRow();
    void brokenDescriptionLeavesNoRowAndNoFile_data();
    void brokenDescriptionLeavesNoRowAndNoFile();
    void boxesByAddressAreListed_data();
    void boxesByAddressAreListed();
    void commandLineBoxesAreListed();
    void addBoxDialog_data();
    void addBoxDialog();
    void boxByAddressThatDoesNotAnswerIsSaidOnTheStatusLine();
    void rememberedBoxIsFetchedAtNextStartAndCanBeForgotten();
    void boxIsListedOnceItsDescriptionAnswers();
    void versionTwoBoxAnsweringAsVersionOneGetsNoRow();
    void clickFetchesRemoteControllerDescription();
    void webUiShowsTheBoxPageAndHidesIt();
    void webUiAsRootWithoutSandboxSaysWhyAndGoesOn();
    void windowAndLastBoxSurviveARestart();
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
    bool markerBoxIsListed();

    TAVO_ui_mainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    int uuids = 0;
    QTemporaryDir settingsFolder;
};

// A box that starts now is listed: the window has gone on with its discovery since whatever the
// network brought before. It vanishes without a byebye, and its row stays as it is.
bool tst_discovery::markerBoxIsListed()
{
    const QString name = QStringLiteral("Marker %1").arg(uuids + 1);
    TAVO_test_boxSim marker(TAVO_test_boxSim::box(boxFields(newUuid(), "127.0.0.50", name)));
    const bool listed = marker.start() && waitForRow(name + " (127.0.0.50)");
    marker.kill();
    return listed;
}

void tst_discovery::initTestCase()
{
    // Boxes added by address are remembered in the settings: these stay in the test's own folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    table = window->findChild<QTableWidget *>();
}

void tst_discovery::cleanupTestCase()
{
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

// Before any box; one box with what its description says; the box says byebye and is greyed,
// then announces itself again and is back to normal.
void tst_discovery::statusLineAndRowFollowTheBox()
{
    using namespace TAVO_test_windowParts;
    QCOMPARE(boxCountText(window), QStringLiteral("Searching for boxes…"));
    button("Start")->click();
    QCOMPARE(statusMessage(window), QStringLiteral("Please select a box first"));

    const QString uuid = newUuid();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.13", "Porch")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Porch (127.0.0.13)"));
    QCOMPARE(boxCountText(window), QStringLiteral("1 box listed"));
    QTableWidgetItem *row = serverRow(window, "Porch (127.0.0.13)");
    const QColor normal = row->foreground().color();
    QCOMPARE(toolTipText(row), "Model: KLD-450R (450)\nSerial number: " + uuid.left(8).toUpper()
                                   + "\nAddress: 127.0.0.13:49152");

    sim.sayByebye();
    QTRY_VERIFY_WITH_TIMEOUT(toolTipText(row).startsWith("Not answering since "), discoveryTimeoutMs);
    QVERIFY2(QRegularExpression("^Not answering since \\d\\d:\\d\\d\nModel: KLD-450R").match(toolTipText(row)).hasMatch(),
             qPrintable(toolTipText(row)));
    // The window's discovery goes on meanwhile; the box stays greyed until it is seen again.
    QVERIFY(markerBoxIsListed());
    QCOMPARE(row->foreground().color(), QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    QCOMPARE(boxCountText(window), QStringLiteral("2 boxes listed, 1 not answering"));
    QCOMPARE(row->text(), QStringLiteral("Porch (127.0.0.13)"));
    table->clearSelection();
    QToolTip::showText(table->viewport()->mapToGlobal(table->visualItemRect(row).topLeft() + QPoint(60, 10)), row->toolTip(),
                       table->viewport());
    QVERIFY(TAVO_test_windowParts::waitUntilShown(TAVO_test_windowParts::topLevelOfClass("QTipLabel")));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(TAVO_BIN_DIR "/../tst_discovery_byebye.png"));
    QToolTip::hideText();

    sim.announceAgain();
    QTRY_VERIFY_WITH_TIMEOUT(!toolTipText(row).contains("Not answering"), discoveryTimeoutMs);
    QCOMPARE(row->foreground().color(), normal);
    QCOMPARE(boxCountText(window), QStringLiteral("2 boxes listed"));
}

void tst_discovery::streamerBoxesAppearAsRows()
{
    TAVO_test_downloads downloads;
    const int rowsBefore = table->rowCount();
    const QString versionTwo = newUuid();
    QVariantMap otherVersion = boxFields(versionTwo, "127.0.0.4", "Version Two");
    otherVersion["deviceType"] = "urn:vornex-com:device:TavoStreamer:2";
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(
        {boxFields(newUuid(), "127.0.0.2", "Living Room"), boxFields(newUuid(), "127.0.0.3", "Kitchen"), otherVersion}));
    QVERIFY(sim.start());

    QVERIFY2(waitForRow("Living Room (127.0.0.2)"), qPrintable(rowTexts().join(", ")));
    QVERIFY2(waitForRow("Kitchen (127.0.0.3)"), qPrintable(rowTexts().join(", ")));
    QVERIFY(sim.waitForRequest(versionTwo, "description.xml"));
    QVERIFY(downloads.waitForEnded("127.0.0.4:49152/description.xml", 1));

    QCOMPARE(table->rowCount(), rowsBefore + 2);
    QVERIFY(TAVO_test_windowParts::boxCountText(window).startsWith(QStringLiteral("%1 boxes listed").arg(rowsBefore + 2)));
    // A version 2 box answers the window's searches for version 1 as if it were one; its
    // description tells it apart, and it is not listed.
    QVERIFY2(!rowTexts().join(", ").contains("Version Two"), qPrintable(rowTexts().join(", ")));
}

// A light announces itself on the network (another program sees it); a box that starts after it
// is listed, the light is not.
void tst_discovery::otherDeviceTypeIsIgnored()
{
    const int rowsBefore = table->rowCount();
    const QStringList foldersBefore = QDir(TAVO_mgr_cache::root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QProcess light;
    light.start(QStringLiteral("gupnp-network-light"), {"-i", "lo", "-4"});
    QVERIFY2(light.waitForStarted(), "gupnp-network-light is missing");
    QProcess search;
    search.start(QStringLiteral("gssdp-discover"),
                 {"-i", "lo", "-t", "urn:schemas-upnp-org:device:BinaryLight:1", "-m", "available", "-n", "30"});
    QByteArray found;
    QVERIFY2(QTest::qWaitFor([&] {
        found += search.readAllStandardOutput();
        return found.contains("BinaryLight");
    }, 30000), found.constData());
    search.kill();
    search.waitForFinished();

    const QString uuid = newUuid();
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.5", "Hall")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Hall (127.0.0.5)"));

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
    TAVO_test_downloads downloads;
    const QString broken = newUuid();
    QVariantMap brokenBox = boxFields(broken, "127.0.0.7", "Broken");
    brokenBox[knob] = value;
    const QString good = QString::fromLatin1(QTest::currentDataTag());
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({brokenBox, boxFields(newUuid(), "127.0.0.8", good)}));
    QVERIFY(sim.start());

    QVERIFY(waitForRow(good + " (127.0.0.8)"));
    QVERIFY(sim.waitForRequest(broken, "description.xml"));
    QVERIFY(downloads.waitForEnded("127.0.0.7:49152/description.xml", 1));

    QVERIFY(rowTexts().filter("127.0.0.7").isEmpty());
    QVERIFY(!QFile::exists(TAVO_mgr_cache::root() + broken + "/DeviceDescription.xml"));
}

void tst_discovery::boxesByAddressAreListed_data()
{
    QTest::addColumn<QString>("ssdp");
    QTest::addColumn<int>("descriptionPort");
    QTest::addColumn<QString>("address");
    QTest::newRow("host no multicast reaches") << "unicast" << 49152 << "127.0.0.30";
    QTest::newRow("host:port without SSDP") << "none" << 5000 << "127.0.0.30:5000";
    QTest::newRow("description URL") << "none" << 5001 << "http://127.0.0.30:5001/description.xml";
}

void tst_discovery::boxesByAddressAreListed()
{
    QFETCH(QString, ssdp);
    QFETCH(int, descriptionPort);
    QFETCH(QString, address);
    const QString uuid = newUuid();
    QVariantMap box = boxFields(uuid, "127.0.0.30", "Far Away");
    box["ssdp"] = ssdp;
    box["descriptionPort"] = descriptionPort;
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(box));
    QVERIFY(sim.start());
    QVERIFY(markerBoxIsListed());
    QVERIFY2(sim.requests(uuid).isEmpty(), "discovery reached a box that no multicast reaches");

    window->addBoxesByAddress({address});

    QVERIFY(waitForRow("Far Away (127.0.0.30)"));
    QCOMPARE(rowTexts().filter("127.0.0.30").size(), 1);
    QCOMPARE(sim.requests(uuid).filter("1900 M-SEARCH").isEmpty(), ssdp != "unicast");
}

void tst_discovery::commandLineBoxesAreListed()
{
    const QString far = newUuid();
    const QString described = newUuid();
    QVariantMap describedBox = boxFields(described, "127.0.0.31", "Described");
    describedBox["ssdp"] = "none";
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({boxNoMulticastReaches(far, "127.0.0.32", "Far"), describedBox}));
    QVERIFY(sim.start());
    QTemporaryDir home;
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.path());
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral(TAVO_BIN_DIR "/TAVO_Client"),
                 {"--box", "127.0.0.32", "--box", "http://127.0.0.31:49152/description.xml"});
    QVERIFY(client.waitForStarted());

    QByteArray log;
    const bool bothListed = QTest::qWaitFor([&] {
        log += client.readAllStandardError();
        return log.count("Add New Server") == 2;
    }, discoveryTimeoutMs);
    client.kill();
    client.waitForFinished();
    QVERIFY2(bothListed, log.constData());
    QVERIFY(sim.waitForRequest(far, "GET /description.xml"));
    QVERIFY(sim.waitForRequest(described, "GET /description.xml"));
}

void tst_discovery::addBoxDialog_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("typed");  // on the X display's keyboard, with Enter instead of a click on Add
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("row");
    QTest::newRow("bad input") << "http://" << false << "“http://” is not a host, host:port or http:// URL." << "";
    QTest::newRow("silence") << "127.0.0.34" << true << "No box answers at 127.0.0.34." << "";
    QTest::newRow("not a box") << "http://127.0.0.33:49152/index.xml" << false << "it is not a streamer box" << "";
    QTest::newRow("version 2 box") << "127.0.0.36" << false << "127.0.0.36 answers, but it is not a streamer box" << "";
    QTest::newRow("good address") << "127.0.0.33" << true << "" << "Porch & <b>Garden</b> (127.0.0.33)";
    QTest::newRow("listed box") << "127.0.0.37" << false << "The box at 127.0.0.37 is listed already." << "";
    QTest::newRow("listed box deaf to searches at its address")
        << "127.0.0.38" << false
        << "“Closet” (127.0.0.38) is listed already, but does not answer a search sent to it. To add it by address, "
           "give 127.0.0.38:49152."
        << "";
}

void tst_discovery::addBoxDialog()
{
    QFETCH(QString, address);
    QFETCH(bool, typed);
    QFETCH(QString, says);
    QFETCH(QString, row);
    const QString uuid = newUuid();
    QVariantMap versionTwo = boxNoMulticastReaches(newUuid(), "127.0.0.36", "Attic V2");
    versionTwo["deviceType"] = "urn:vornex-com:device:TavoStreamer:2";
    QVariantMap deafToSearchesAtItsAddress = boxFields("e2e0d15c-0000-4000-8000-0000000000de", "127.0.0.38", "Closet");
    deafToSearchesAtItsAddress["ssdp"] = "multicastOnly";
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(
        {boxNoMulticastReaches(uuid, "127.0.0.33", "Porch & <b>Garden</b>"), versionTwo,
         boxFields("e2e0d15c-0000-4000-8000-0000000000da", "127.0.0.37", "Landing"), deafToSearchesAtItsAddress}));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Landing (127.0.0.37)"));
    QVERIFY(waitForRow("Closet (127.0.0.38)"));
    const QStringList rowsBefore = rowTexts();
    const QStringList rememberedBefore = rememberedAddresses();

    QMenu *menu = TAVO_test_windowParts::openServerListMenu(window);
    QVERIFY(menu);
    if (QTest::currentDataTag() == QLatin1String("good address"))
        saveScreen("tst_discovery_menu.png", menu);
    QAction *add = TAVO_test_windowParts::menuAction(menu, "Add box by address…");
    QVERIFY(add);
    add->trigger();
    menu->close();
    QPointer<QWidget> dialog = TAVO_test_windowParts::topLevelOfClass("TAVO_ui_addBoxDialog");
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto *status = dialog->findChild<QLabel *>("status");
    if (typed) {
        run("xdotool", {"type", "--delay", "20", address});
        QTRY_COMPARE(dialog->findChild<QLineEdit *>("address")->text(), address);
        run("xdotool", {"key", "Return"});
    } else {
        dialog->findChild<QLineEdit *>("address")->setText(address);
        TAVO_test_windowParts::button(dialog, "Add")->click();
    }

    if (row.isEmpty()) {
        QCOMPARE(status->textFormat(), Qt::PlainText);
        QTRY_VERIFY2_WITH_TIMEOUT(status->text().contains(says), qPrintable(status->text()), discoveryTimeoutMs);
        if (QTest::currentDataTag() == QLatin1String("not a box"))
            saveScreen("tst_discovery_addbox.png", dialog);
        if (typed) {
            // After an answer, Enter asks again.
            run("xdotool", {"key", "Return"});
            QTRY_VERIFY2(dialog && status->text().startsWith("Asking"), dialog ? qPrintable(status->text()) : "closed");
        }
        QVERIFY(dialog->isVisible());
        dialog->close();
        QCOMPARE(rowTexts(), rowsBefore);
        QCOMPARE(rememberedAddresses(), rememberedBefore);
        return;
    }
    QVERIFY(waitForRow(row));
    QTRY_VERIFY(!dialog);
    QCOMPARE(rowTexts().filter(address).size(), 1);
    QCOMPARE(rememberedAddresses(), rememberedBefore + QStringList{address + " " + row.left(row.lastIndexOf(" ("))});
    TAVO_mgr_rememberedBoxes::forget(address);
}

// As --box gives it: the status line names the address that did not answer.
void tst_discovery::boxByAddressThatDoesNotAnswerIsSaidOnTheStatusLine()
{
    window->addBoxesByAddress({"127.0.0.39"});
    QTRY_COMPARE_WITH_TIMEOUT(TAVO_test_windowParts::statusMessage(window), QStringLiteral("No box answers at 127.0.0.39."),
                              discoveryTimeoutMs);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(TAVO_BIN_DIR "/../tst_discovery_box_silent.png"));
}

void tst_discovery::rememberedBoxIsFetchedAtNextStartAndCanBeForgotten()
{
    TAVO_mgr_rememberedBoxes::remember({"127.0.0.35", "Cellar"});
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxNoMulticastReaches(newUuid(), "127.0.0.35", "Cellar")));
    QVERIFY(sim.start());

    TAVO_ui_mainWindow nextStart;
    nextStart.show();
    QVERIFY(TAVO_test_windowParts::waitForRow(&nextStart, "Cellar (127.0.0.35)", discoveryTimeoutMs));

    QMenu *menu = TAVO_test_windowParts::openServerListMenu(&nextStart);
    QVERIFY(menu);
    QAction *forgetMenu = TAVO_test_windowParts::menuAction(menu, "Forget a box added by address");
    QVERIFY(forgetMenu && forgetMenu->menu());
    const QPoint entry = menu->mapToGlobal(menu->actionGeometry(forgetMenu).center());
    run("xdotool", {"mousemove", QString::number(entry.x()), QString::number(entry.y())});
    QTRY_VERIFY(forgetMenu->menu()->isVisible());
    saveScreen("tst_discovery_forget.png", forgetMenu->menu());
    QAction *cellar = TAVO_test_windowParts::menuAction(forgetMenu->menu(), "Cellar (127.0.0.35)");
    QVERIFY(cellar);
    cellar->trigger();
    menu->close();
    QVERIFY(rememberedAddresses().filter("127.0.0.35").isEmpty());
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
    QVERIFY(sim.start());

    // The two boxes announce alike and are held off alike: the one that never answers is asked
    // no more often than the one it took three asks to list.
    QVERIFY2(TAVO_test_windowParts::waitForRow(window, "Late (127.0.0.13)", 30000), qPrintable(rowTexts().join(", ")));
    const auto fetchesOf = [&sim](const QString &uuid) { return int(sim.requests(uuid).filter("description.xml").size()); };
    const int lateFetches = fetchesOf(late["uuid"].toString());
    const int brokenFetches = fetchesOf(broken);
    QCOMPARE(lateFetches, 3);
    QVERIFY2(brokenFetches <= lateFetches + 1, qPrintable(QString::number(brokenFetches)));
    QVERIFY(QTest::qWaitFor([&] { return fetchesOf(broken) >= 2; }, 30000));
    QVERIFY(rowTexts().filter("127.0.0.14").isEmpty());
}

// A version 2 box found by a search answers as version 1 (UPnP demands it); its description
// says what it is. The box runs before the client starts, so a search is all the client hears.
void tst_discovery::versionTwoBoxAnsweringAsVersionOneGetsNoRow()
{
    const QString versionTwo = newUuid();
    QVariantMap newer = boxFields(versionTwo, "127.0.0.15", "Attic V2");
    newer["deviceType"] = "urn:vornex-com:device:TavoStreamer:2";
    TAVO_test_downloads downloads;
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({newer, boxFields(newUuid(), "127.0.0.16", "Attic V1")}));
    QVERIFY(sim.start());

    TAVO_ui_mainWindow startedLater;
    QVERIFY(TAVO_test_windowParts::waitForRow(&startedLater, "Attic V1 (127.0.0.16)", discoveryTimeoutMs));
    QVERIFY(sim.waitForRequest(versionTwo, "description.xml"));
    // Every ask the box had, of either window, has been answered and read.
    const int asked = int(sim.requests(versionTwo).filter("description.xml").size());
    QVERIFY(downloads.waitForEnded("127.0.0.15:49152/description.xml", asked));

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
    QCOMPARE(view->windowTitle(), QStringLiteral("Garage — web page"));
    QCOMPARE(view->property("url").toUrl(), QUrl("http://127.0.0.11/"));
    QVERIFY(loaded.wait(20000));
    QCOMPARE(loaded.first().first().toBool(), true);
    QVERIFY(sim.waitForRequest(uuid, "GET / HTTP/1.1"));
    QVERIFY(QTest::qWaitFor([view] { return showsText(view); }, 10000));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(TAVO_BIN_DIR "/../tst_discovery_webui.png"));

    button("WebUI")->click();
    QTRY_VERIFY(view->isHidden());
    QCOMPARE(webView(), view);
}

// As root the web engine ends the whole process unless its sandbox is off, which the test
// command turns off for every test. So this case runs again in a child process without that.
void tst_discovery::webUiAsRootWithoutSandboxSaysWhyAndGoesOn()
{
    if (getuid() != 0)
        QSKIP("only root meets the web engine's refusal");
    const char sandboxOff[] = "QTWEBENGINE_DISABLE_SANDBOX";
    if (qEnvironmentVariableIsSet(sandboxOff)) {
        QProcess withSandbox;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(sandboxOff);
        withSandbox.setProcessEnvironment(environment);
        withSandbox.setProcessChannelMode(QProcess::MergedChannels);
        withSandbox.start(QCoreApplication::applicationFilePath(), {QTest::currentTestFunction()});
        QVERIFY(withSandbox.waitForFinished(60000));
        QVERIFY2(withSandbox.exitStatus() == QProcess::NormalExit && withSandbox.exitCode() == 0,
                 withSandbox.readAll().constData());
        return;
    }
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(newUuid(), "127.0.0.18", "Loft")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow("Loft (127.0.0.18)"));
    QVERIFY(TAVO_test_windowParts::clickServerRow(window, "Loft (127.0.0.18)"));

    TAVO_test_messageBoxes boxes;
    boxes.beforeClose = [](QMessageBox *) { saveScreen("tst_discovery_webui_root.png"); };
    button("WebUI")->click();

    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().text, QStringLiteral("The web page cannot be shown."));
    QVERIFY2(boxes.seen.first().informativeText.contains("root"), qPrintable(boxes.seen.first().informativeText));
    QVERIFY(!webView());
    QVERIFY(window->isVisible());
}

// The window's shape and the box chosen last come back at the next start: the box is chosen as
// a click chooses it (its remote description fetched), and it plays only when the user asked
// for that in the box list's menu.
void tst_discovery::windowAndLastBoxSurviveARestart()
{
    using namespace TAVO_test_windowParts;
    const QString uuid = newUuid();
    const QString row = "Study (127.0.0.41)";
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(boxFields(uuid, "127.0.0.41", "Study")));
    QVERIFY(sim.start());
    QVERIFY(waitForRow(row));
    QVERIFY(clickServerRow(window, row));
    window->setGeometry(70, 40, 900, 560);
    QSplitter *panes = splitter(window, Qt::Horizontal);
    const QList<int> paneSizes = panes->sizes();
    const QPoint handle = panes->handle(1)->mapToGlobal(panes->handle(1)->rect().center());
    run("xdotool", {"mousemove", QString::number(handle.x()), QString::number(handle.y()), "mousedown", "1",
                    "mousemove", QString::number(handle.x() + 40), QString::number(handle.y()),
                    "mousemove", QString::number(handle.x() + 80), QString::number(handle.y()), "mouseup", "1"});
    QTRY_VERIFY(panes->sizes() != paneSizes);
    QTRY_COMPARE(TAVO_mgr_clientSettings::windowGeometry(), window->saveGeometry());

    TAVO_ui_mainWindow next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QCOMPARE(next.geometry(), window->geometry());
    QCOMPARE(splitter(&next, Qt::Horizontal)->sizes(), panes->sizes());
    QVERIFY(TAVO_test_windowParts::waitForRow(&next, row, discoveryTimeoutMs));
    auto *nextTable = next.findChild<QTableWidget *>();
    QTRY_COMPARE(nextTable->currentRow(), nextTable->row(serverRow(&next, row)));
    QTRY_COMPARE(sim.requests(uuid).filter("GET /rcu/").size(), 2);
    QVERIFY(TAVO_test_windowParts::button(&next, "Controller")->isEnabled());

    QMenu *menu = openServerListMenu(&next);
    QVERIFY(menu);
    QAction *playAtStart = menuAction(menu, "Play the last box at start");
    QVERIFY(playAtStart && playAtStart->isCheckable() && !playAtStart->isChecked());
    saveScreen("tst_discovery_play_at_start.png", menu);
    playAtStart->trigger();
    menu->close();
    QVERIFY(sim.requests(uuid).filter("8080 GET").isEmpty());

    TAVO_ui_mainWindow playing;
    playing.show();
    QVERIFY(sim.waitForRequest(uuid, "8080 GET", 15000));
    TAVO_test_windowParts::button(&playing, "Stop")->click();
    TAVO_mgr_clientSettings::setPlayLastBoxAtStart(false);
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
    QByteArray log;
    QVERIFY(QTest::qWaitFor([&] {
        log += client.readAllStandardError();
        return log.contains("Cannot create cache folder");
    }, discoveryTimeoutMs));
    QVERIFY(closeClientWindow(client));

    QVERIFY(client.waitForFinished(10000));
    log += client.readAllStandardError();
    QCOMPARE(client.exitCode(), 1);
    QVERIFY2(log.contains("Cannot create cache folder") && !log.contains("Delete XML Success"), log.constData());
    QVERIFY(!log.contains("DeviceDescription.xml"));
    QCOMPARE(QDir(beside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"canary.txt"});
    QVERIFY(canary.open(QIODevice::ReadOnly));
    QCOMPARE(canary.readAll(), QByteArray("alive"));
}

QTEST_MAIN(tst_discovery)
#include "tst_discovery.moc"
