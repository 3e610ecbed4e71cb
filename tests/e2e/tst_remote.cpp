// The remote control end to end: the client's window against simulated boxes, on a real X
// display in the private network.

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_boxLock.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_desktop.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_keySlots.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_recordedRows.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <csignal>

namespace {

const QString livingRoom = QStringLiteral("5f0c2a8e-7d1b-4c3a-9e6f-remote000001");
const QString oldBox = QStringLiteral("5f0c2a8e-7d1b-4c3a-9e6f-remote000002");
const QString screenshotFolder = QStringLiteral(TAVO_BIN_DIR "/../screenshots/");

QVariantMap controller(const QString &id, const QString &name, const QString &supportKeys)
{
    return {{"id", id}, {"name", name}, {"supportKeys", supportKeys}};
}

QByteArray simulatedBoxes()
{
    const QVariantMap living{
        {"uuid", livingRoom},
        {"address", "127.0.0.2"},
        {"friendlyName", "Living Room"},
        {"rcuVersion", "1.0"},
        {"defaultId", "tv"},
        {"controllers",
         QVariantList{controller("stb", "Set-top Box", "PWR,MENU,OK,NUM_1,NUM_2,EPG"),
                      controller("tv", "Television", "PWR,MENU,MUTE,VOL_UP,VOL_DN,CH_UP,CH_DN,RED,GREEN,HELP,PLAY"),
                      controller("dvd", "DVD Player", "EJECT,PLAY,PAUSE,STOP")}},
        {"keyStatus", QVariantMap{{"HELP", 514}}},
    };
    // A box whose description is older than the box: every command is refused with 432.
    const QVariantMap old{
        {"uuid", oldBox},
        {"address", "127.0.0.3"},
        {"friendlyName", "Old Box"},
        {"rcuVersion", "2.0"},
        {"controllers", QVariantList{controller("1", "Old TV", "PWR")}},
        {"rcuBody", "<RCU version=\"1.9\"><totalAmount>1</totalAmount><defaultId>1</defaultId><remoteController>"
                    "<id>1</id><name>Old TV</name><supportKeys>PWR</supportKeys></remoteController></RCU>"},
    };
    return TAVO_test_boxSim::boxes({living, old});
}

QWidget *topLevelOfClass(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    }
    return nullptr;
}

// Counts the keyboard's repeated presses of held keys, as the application's windows receive them.
class KeyboardRepeats : public QObject
{
public:
    KeyboardRepeats() { QCoreApplication::instance()->installEventFilter(this); }

    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched->isWindowType() && event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->isAutoRepeat())
            ++count;
        return false;
    }
};

QWidget *visibleWindowTitled(const QString &title)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title)
            return widget;
    }
    return nullptr;
}

} // namespace

class tst_remote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void showsTheBoxsControllersWithTheDefaultChosen();
    void powerSendsTheKeyCommand();
    void anotherControllerChangesKeysAndId();
    void holdingVolUpRepeats();
    void refusedKeyShowsItsMessageAndDropsQueuedCommands();
    void keyboardPressesTheBoxsKeys_data();
    void keyboardPressesTheBoxsKeys();
    void heldKeyRepeatsAtTheButtonsPace();
    void toolTipsAndKeyboardMapNameTheKeys();
    void keyCInFullScreenActsOnThePanelInSight();
    void keyCHidesThePanel();
    void keyCOnTheFullScreenOverlayTogglesThePanel();
    void keysOnThePictureSteerTheChosenBox();
    void otherVersionIsRefusedAsOld();
    void openPanelFollowsTheChosenBox();
    void channelsTuneByNameByDigitsInFullScreenAndByStepping();
    void keyCAfterARealClickOnARowOpensThePanel();
    void panelPlaceAndChosenControllerSurviveARestart();
    void rowOfABoxRecordedElsewhereIsMarkedUntilItsRecorderDies();
    void keyThatChangesARecordedBoxAsksOnce();

private:
    bool selectBox(const QString &host);
    bool waitForDescription(const QString &uuid) const;
    void pressController();
    QPushButton *key(const char *name) const;
    QStringList enabledKeys() const;
    QStringList keyCommands(const QString &uuid, const QString &key) const;
    void saveScreenshots(const QString &stem);
    void giveKeyboardTo(const QString &place);
    void pressKey(const QString &key);
    bool panelInSight();
    void placeWindow(const QRect &geometry);
    bool markerReachesTheBox();
    QWidget *caption() const;
    bool captionOverThePictureSays(const QString &number, const QString &name = QString()) const;
    QStringList keysSentSince(const QString &uuid, qsizetype before) const;
    bool statusLineNotice(const QString &start) const;

    TAVO_test_boxSim *sim = nullptr;
    // The boxes' locks of this test's recordings: never the user's.
    QTemporaryDir runtimeFolder;
    TAVO_ui_mainWindow *window = nullptr;
    QWidget *panel = nullptr;
    QComboBox *controllers = nullptr;
};

void tst_remote::initTestCase()
{
    sim = new TAVO_test_boxSim(simulatedBoxes());
    QVERIFY(sim->start());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder.path()));
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(selectBox(QStringLiteral("127.0.0.2")));
    QVERIFY(waitForDescription(livingRoom));
    pressController();
    panel = topLevelOfClass("TAVO_ui_controller");
    QVERIFY(panel);
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    controllers = panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"));
}

// A case that failed in full screen leaves it, so the next one starts in the normal window.
void tst_remote::cleanup()
{
    if (TAVO_test_windowParts::fullScreenOverlay()->isVisible()) {
        window->setToNormalScreen();
        TAVO_test_windowParts::fullScreenOverlay()->hide();
    }
}

void tst_remote::cleanupTestCase()
{
    delete sim;
}

bool tst_remote::selectBox(const QString &host)
{
    auto *table = window->findChild<QTableWidget *>();
    QTableWidgetItem *row = nullptr;
    const bool listed = QTest::qWaitFor(
        [&] {
            const QList<QTableWidgetItem *> found = table->findItems(QStringLiteral("(%1)").arg(host), Qt::MatchEndsWith);
            row = found.isEmpty() ? nullptr : found.first();
            return row != nullptr;
        },
        15000);
    if (!listed)
        return false;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualItemRect(row).center());
    return true;
}

bool tst_remote::waitForDescription(const QString &uuid) const
{
    const QString path = TAVO_mgr_cache::boxFile(uuid, QStringLiteral("/rcu/remote.xml"));
    return QTest::qWaitFor([&] { return QFile::exists(path) && QFileInfo(path).size() > 0; }, 10000);
}

void tst_remote::pressController()
{
    QTest::mouseClick(TAVO_test_windowParts::button(window, QStringLiteral("Controller")), Qt::LeftButton);
}

QPushButton *tst_remote::key(const char *name) const
{
    return TAVO_test_windowParts::keyButton(panel, name);
}

QStringList tst_remote::enabledKeys() const
{
    QStringList keys;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (panel->findChild<QPushButton *>(slot.objectName())->isEnabled())
            keys << QLatin1String(slot.keyName);
    }
    keys.sort();
    return keys;
}

QStringList tst_remote::keyCommands(const QString &uuid, const QString &key) const
{
    return sim->requests(uuid).filter(QStringLiteral("&key=") + key + QStringLiteral(" HTTP/1.1"));
}

void tst_remote::saveScreenshots(const QString &stem)
{
    QDir().mkpath(screenshotFolder);
    auto *tabs = panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        TAVO_test_eventLoop::runPosted();
        panel->grab().save(screenshotFolder + QStringLiteral("%1_page%2.png").arg(stem).arg(page + 1));
    }
    tabs->setCurrentIndex(0);
}

void tst_remote::showsTheBoxsControllersWithTheDefaultChosen()
{
    QCOMPARE(controllers->count(), 3);
    QCOMPARE(controllers->itemText(0), QStringLiteral("Set-top Box"));
    QCOMPARE(controllers->currentText(), QStringLiteral("Television"));
    QStringList expected = {"PWR", "MENU", "MUTE", "VOL_UP", "VOL_DN", "CH_UP", "CH_DN", "RED", "GREEN", "HELP",
                            "PLAY", "UP"};
    expected.sort();
    QCOMPARE(enabledKeys(), expected);
    saveScreenshots(QStringLiteral("remote_television"));
}

void tst_remote::powerSendsTheKeyCommand()
{
    QTest::mouseClick(key("PWR"), Qt::LeftButton);
    QVERIFY(sim->waitForRequest(livingRoom, QStringLiteral("key=PWR")));
    QCOMPARE(keyCommands(livingRoom, "PWR"),
             QStringList{"8090 GET http://127.0.0.2:8090/?src=1&ver=1.0&id=tv&key=PWR HTTP/1.1"});
}

void tst_remote::anotherControllerChangesKeysAndId()
{
    controllers->setCurrentIndex(2);
    QCOMPARE(enabledKeys(), (QStringList{"EJECT", "PAUSE", "PLAY", "STOP"}));
    panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    QTest::mouseClick(key("EJECT"), Qt::LeftButton);
    QVERIFY(sim->waitForRequest(livingRoom, QStringLiteral("key=EJECT")));
    QCOMPARE(keyCommands(livingRoom, "EJECT"),
             QStringList{"8090 GET http://127.0.0.2:8090/?src=1&ver=1.0&id=dvd&key=EJECT HTTP/1.1"});
    panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(0);
    controllers->setCurrentIndex(1);
}

// Each click of the held button, its repeats and the last one as it comes up, is one command.
void tst_remote::holdingVolUpRepeats()
{
    QPushButton *volumeUp = key("VOL_UP");
    QSignalSpy clicks(volumeUp, &QPushButton::clicked);
    QTest::mousePress(volumeUp, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return clicks.size() >= 2; }, 5000));
    QTest::mouseRelease(volumeUp, Qt::LeftButton);
    QVERIFY(markerReachesTheBox());
    const QStringList sent = keyCommands(livingRoom, "VOL_UP");
    QCOMPARE(sent.size(), clicks.size());
    QCOMPARE(sent.filter(QStringLiteral("&id=tv&key=VOL_UP")).size(), sent.size());
}

// A command sent after the others: once it reached the box, every earlier one has too (they go
// out one at a time, in order).
bool tst_remote::markerReachesTheBox()
{
    const qsizetype before = keyCommands(livingRoom, QStringLiteral("GREEN")).size();
    key("GREEN")->click();
    return QTest::qWaitFor([&] { return keyCommands(livingRoom, QStringLiteral("GREEN")).size() > before; }, 5000);
}

void tst_remote::refusedKeyShowsItsMessageAndDropsQueuedCommands()
{
    TAVO_test_messageBoxes boxes;
    panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    key("HELP")->click();
    panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(0);
    key("MUTE")->click();
    key("RED")->click();
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 5000));
    QVERIFY(markerReachesTheBox());
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Error Code : 514"));
    QCOMPARE(boxes.seen.first().text, QStringLiteral("RCU Key Not Learned / Supported"));
    QVERIFY2(boxes.seen.first().informativeText.startsWith(QStringLiteral("The key is not learned")),
             qPrintable(boxes.seen.first().informativeText));
    QCOMPARE(keyCommands(livingRoom, "HELP").size(), 1);
    QVERIFY(keyCommands(livingRoom, "MUTE").isEmpty());
    QVERIFY(keyCommands(livingRoom, "RED").isEmpty());
}

// Where the keyboard steers the box: the panel as the active window, the full-screen picture,
// and the picture after a click on it.
void tst_remote::giveKeyboardTo(const QString &place)
{
    if (place == QLatin1String("panel")) {
        panel->show();
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel));
        return;
    }
    panel->hide();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    if (place == QLatin1String("full screen")) {
        pressKey(QStringLiteral("f"));
        QVERIFY(QTest::qWaitFor([&] { return TAVO_test_windowParts::fullScreenOverlay()->isActiveWindow(); }, 5000));
        return;
    }
    const QPoint picture = window->videoWidget->mapToGlobal(window->videoWidget->rect().center());
    TAVO_test_desktop::run("xdotool", {"mousemove", QString::number(picture.x()), QString::number(picture.y()), "click", "1"});
    QVERIFY(QTest::qWaitFor([&] { return window->videoWidget->hasFocus(); }, 5000));
}

void tst_remote::pressKey(const QString &key)
{
    TAVO_test_desktop::run("xdotool", {"key", key});
}

void tst_remote::keyboardPressesTheBoxsKeys_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("remoteKey");
    QTest::addColumn<bool>("supported");
    QTest::newRow("panel, Page Up") << "panel" << "Prior" << "CH_UP" << true;
    QTest::newRow("panel, F1") << "panel" << "F1" << "RED" << true;
    QTest::newRow("panel, Ctrl+Shift+P") << "panel" << "ctrl+shift+p" << "PWR" << true;
    QTest::newRow("panel, Return: no OK on this remote") << "panel" << "Return" << "OK" << false;
    QTest::newRow("full screen, +") << "full screen" << "plus" << "VOL_UP" << true;
    QTest::newRow("full screen, Ctrl+M") << "full screen" << "ctrl+m" << "MUTE" << true;
    QTest::newRow("picture, -") << "picture" << "minus" << "VOL_DN" << true;
    QTest::newRow("picture, Home") << "picture" << "Home" << "MENU" << true;
}

// Each key reaches the box once, with the chosen controller's id, as a click on its button
// would; a key the remote lacks sends nothing. F2, Green, follows it: once Green reached the
// box, so did whatever the key sent.
void tst_remote::keyboardPressesTheBoxsKeys()
{
    QFETCH(QString, place);
    QFETCH(QString, key);
    QFETCH(QString, remoteKey);
    QFETCH(bool, supported);
    giveKeyboardTo(place);
    const int before = keyCommands(livingRoom, remoteKey).size();
    const int greenBefore = keyCommands(livingRoom, QStringLiteral("GREEN")).size();
    pressKey(key);
    pressKey(QStringLiteral("F2"));
    QVERIFY(QTest::qWaitFor([&] { return keyCommands(livingRoom, QStringLiteral("GREEN")).size() > greenBefore; }, 5000));
    const QStringList sent = keyCommands(livingRoom, remoteKey);
    QCOMPARE(sent.size(), before + (supported ? 1 : 0));
    if (supported)
        QCOMPARE(sent.last(), QStringLiteral("8090 GET http://127.0.0.2:8090/?src=1&ver=1.0&id=tv&key=%1 HTTP/1.1").arg(remoteKey));
    if (place == QLatin1String("full screen")) {
        pressKey(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([&] { return !(window->windowState() & Qt::WindowFullScreen); }, 5000));
        QVERIFY(TAVO_test_windowParts::fullScreenOverlay()->isHidden());
    }
}

// The X server repeats a held key every 40 ms after 660 ms, the button every 100 ms after 300 ms.
// A held key clicks its button as the mouse would: the button's own repeats send commands, the
// keyboard's do not. The first hold lasts until the keyboard has repeated, while the button's
// repeat waits longer than the test; the second until the button has repeated. Every click of
// the button is one command, and there is no other.
void tst_remote::heldKeyRepeatsAtTheButtonsPace()
{
    giveKeyboardTo(QStringLiteral("panel"));
    QPushButton *channelDown = key("CH_DN");
    const QString command = QStringLiteral("CH_DN");
    const int before = keyCommands(livingRoom, command).size();
    QSignalSpy clicks(channelDown, &QPushButton::clicked);
    KeyboardRepeats keyboardRepeats;
    const auto holdPageDownUntil = [&](const std::function<bool()> &done) {
        TAVO_test_desktop::run("xdotool", {"keydown", "Next"});
        const bool reached = QTest::qWaitFor(done, 10000);
        TAVO_test_desktop::run("xdotool", {"keyup", "Next"});
        return reached && QTest::qWaitFor([&] { return !channelDown->isDown(); }, 5000);
    };

    const int repeatDelay = channelDown->autoRepeatDelay();
    channelDown->setAutoRepeatDelay(24 * 60 * 60 * 1000);
    QVERIFY(holdPageDownUntil([&] { return keyboardRepeats.count >= 5; }));
    channelDown->setAutoRepeatDelay(repeatDelay);
    QVERIFY(markerReachesTheBox());
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(keyCommands(livingRoom, command).size(), before + 1);

    QVERIFY(holdPageDownUntil([&] { return clicks.size() >= 4; }));
    QVERIFY(markerReachesTheBox());
    const QStringList byKey = keyCommands(livingRoom, command).mid(before);
    QCOMPARE(byKey.size(), clicks.size());
    QCOMPARE(byKey.filter(QStringLiteral("&id=tv&key=CH_DN")).size(), byKey.size());
}

void tst_remote::toolTipsAndKeyboardMapNameTheKeys()
{
    giveKeyboardTo(QStringLiteral("panel"));
    QPushButton *ok = key("OK");
    QCOMPARE(ok->toolTip(), QStringLiteral("OK (Return or Enter)"));
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("steeredBox"))->text(), QStringLiteral("Steers Living Room (127.0.0.2)"));
    const QPoint onOk = ok->mapToGlobal(ok->rect().center());
    TAVO_test_desktop::run("xdotool", {"mousemove", QString::number(onOk.x()), QString::number(onOk.y())});
    QVERIFY(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    QVERIFY(TAVO_test_windowParts::waitUntilShown(TAVO_test_windowParts::topLevelOfClass("QTipLabel")));
    QDir().mkpath(screenshotFolder);
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotFolder + QStringLiteral("remote_tooltip.png"));

    // The first click may only close the tool tip.
    QMenu *menu = nullptr;
    for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
        TAVO_test_desktop::run("xdotool", {"click", "3"});
        static_cast<void>(QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); }, 1000));
    }
    QVERIFY(menu);
    QAction *entry = TAVO_test_windowParts::menuAction(menu, QStringLiteral("Keyboard"));
    QVERIFY(entry);
    menu->setActiveAction(entry);
    QTest::keyClick(menu, Qt::Key_Return);
    QWidget *map = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (map = visibleWindowTitled(QStringLiteral("Keyboard"))); }, 5000));
    QVERIFY(map);
    QVERIFY(QTest::qWaitForWindowExposed(map));
    map->grab().save(screenshotFolder + QStringLiteral("keyboard_map.png"));
    auto *remoteKeys = map->findChild<QTableWidget *>();
    QVERIFY(!remoteKeys->findItems(QStringLiteral("Return or Enter"), Qt::MatchExactly).isEmpty());
    map->close();

    // The same list from the main window, by its key as the X keyboard types it (Shift+/).
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    pressKey(QStringLiteral("question"));
    QVERIFY(QTest::qWaitFor([&] { return visibleWindowTitled(QStringLiteral("Keyboard")) == map; }, 5000));
    // A window counts as active while the one it belongs to is: the keyboard must be its own.
    QVERIFY(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == map->windowHandle(); }, 5000));
    pressKey(QStringLiteral("Escape"));
    QVERIFY(QTest::qWaitFor([&] { return map->isHidden(); }, 5000));
}

// What the screen shows where the panel is, against the panel's own drawing.
bool tst_remote::panelInSight()
{
    return TAVO_test_windowParts::shownOnScreen(panel);
}

// A window manager puts a full-screen window over the whole screen and above the others (the
// test does it here, where none runs); the panel must stand above it and take the keyboard, so
// that the first C hides the panel the user sees.
void tst_remote::keyCInFullScreenActsOnThePanelInSight()
{
    giveKeyboardTo(QStringLiteral("panel"));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    const QRect normal = window->geometry();
    QTest::keyClick(window, Qt::Key_F);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    placeWindow(screen);
    window->raise();
    // Only once the full-screen picture is on screen around the panel would it hide a panel
    // beneath it.
    QVERIFY(QTest::qWaitFor([&] {
        return window->geometry() == screen && TAVO_test_windowParts::shownOnScreen(window, panel->frameGeometry());
    }, 5000));
    QDir().mkpath(screenshotFolder);
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotFolder + QStringLiteral("remote_full_screen.png"));
    QVERIFY(panelInSight());
    // A refusal's message takes the keyboard from the panel for a while, and gives it back.
    QCOMPARE(QWidget::keyboardGrabber(), panel);
    {
        TAVO_test_messageBoxes refusal;
        panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
        key("HELP")->click();
        panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(0);
        QTRY_COMPARE(refusal.seen.size(), 1);
    }
    QTRY_COMPARE(QWidget::keyboardGrabber(), panel);

    pressKey(QStringLiteral("c"));
    QVERIFY(QTest::qWaitFor([&] { return panel->isHidden(); }, 5000));
    // The picture is back where the panel was: a panel shown beneath it would not be seen.
    QVERIFY(QTest::qWaitFor([&] { return TAVO_test_windowParts::shownOnScreen(window); }, 5000));
    pressKey(QStringLiteral("c"));
    QVERIFY(QTest::qWaitFor([&] { return panel->isVisible(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return panelInSight(); }, 5000));
    QVERIFY(window->windowState() & Qt::WindowFullScreen);
    pressKey(QStringLiteral("Escape"));
    QVERIFY(QTest::qWaitFor([&] { return !(window->windowState() & Qt::WindowFullScreen); }, 5000));
    placeWindow(normal);
}

// Xvfb runs no window manager: the test moves and sizes the window as one would.
void tst_remote::placeWindow(const QRect &geometry)
{
    const QString id = QString::number(window->winId());
    TAVO_test_desktop::run("xdotool", {"windowmove", id, QString::number(geometry.x()), QString::number(geometry.y()),
                                       "windowsize", id, QString::number(geometry.width()),
                                       QString::number(geometry.height())});
}

void tst_remote::keyCHidesThePanel()
{
    panel->activateWindow();
    QTest::keyClick(panel, Qt::Key_C);
    QVERIFY(panel->isHidden());
}

void tst_remote::keyCOnTheFullScreenOverlayTogglesThePanel()
{
    QTest::keyClick(window, Qt::Key_F);
    QWidget *overlay = topLevelOfClass("TAVO_ui_fullScreenWidget");
    QVERIFY(overlay);
    QVERIFY(QTest::qWaitForWindowExposed(overlay));
    QTest::keyClick(overlay, Qt::Key_C);
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QTest::keyClick(overlay, Qt::Key_C);
    QVERIFY(panel->isHidden());
    QTest::keyClick(overlay, Qt::Key_F);
}

// The picture is the chosen box's: its keys go there, and the hidden panel follows.
void tst_remote::keysOnThePictureSteerTheChosenBox()
{
    TAVO_test_messageBoxes boxes;
    QVERIFY(panel->isHidden());
    QVERIFY(selectBox(QStringLiteral("127.0.0.3")));
    QVERIFY(waitForDescription(oldBox));
    giveKeyboardTo(QStringLiteral("picture"));
    pressKey(QStringLiteral("ctrl+shift+p"));
    QVERIFY(QTest::qWaitFor([&] { return keyCommands(oldBox, "PWR").size() == 1; }, 5000));
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("steeredBox"))->text(), QStringLiteral("Steers Old Box (127.0.0.3)"));
    QVERIFY(panel->isHidden());
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); }, 5000));
}

void tst_remote::otherVersionIsRefusedAsOld()
{
    TAVO_test_messageBoxes boxes;
    QVERIFY(selectBox(QStringLiteral("127.0.0.3")));
    QVERIFY(waitForDescription(oldBox));
    pressController();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QCOMPARE(controllers->currentText(), QStringLiteral("Old TV"));
    QTest::mouseClick(key("PWR"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); }, 5000));
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Error Code : 432"));
    QCOMPARE(boxes.seen.first().text, QStringLiteral("Old RCU Version"));
    QVERIFY2(boxes.seen.first().informativeText.contains(QStringLiteral("another version")),
             qPrintable(boxes.seen.first().informativeText));
    QCOMPARE(keyCommands(oldBox, "PWR").last(), QStringLiteral("8090 GET http://127.0.0.3:8090/?src=1&ver=1.9&id=1&key=PWR HTTP/1.1"));
}

// The panel steers the current box: choosing another while it is open loads that box's remote.
void tst_remote::openPanelFollowsTheChosenBox()
{
    QVERIFY(panel->isVisible());
    QCOMPARE(controllers->currentText(), QStringLiteral("Old TV"));
    const int commandsBefore = keyCommands(livingRoom, "PWR").size();
    const int oldBoxCommands = keyCommands(oldBox, "PWR").size();

    QVERIFY(selectBox(QStringLiteral("127.0.0.2")));

    QVERIFY(QTest::qWaitFor([&] { return controllers->currentText() == QStringLiteral("Television"); }, 10000));
    QVERIFY(panel->isVisible());
    QTest::mouseClick(key("PWR"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return keyCommands(livingRoom, "PWR").size() == commandsBefore + 1; }, 5000));
    QCOMPARE(keyCommands(livingRoom, "PWR").last(),
             QStringLiteral("8090 GET http://127.0.0.2:8090/?src=1&ver=1.0&id=tv&key=PWR HTTP/1.1"));
    QCOMPARE(keyCommands(oldBox, "PWR").size(), oldBoxCommands);
}

// A click on a row gives the table the keyboard; its search by letters must not take C.
void tst_remote::keyCAfterARealClickOnARowOpensThePanel()
{
    panel->hide();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *table = window->findChild<QTableWidget *>();
    const QList<QTableWidgetItem *> rows = table->findItems(QStringLiteral("(127.0.0.3)"), Qt::MatchEndsWith);
    QCOMPARE(rows.size(), 1);
    // The row is as wide as the desktop; its start is what the pane shows.
    const QRect rowRect = table->visualItemRect(rows.first());
    const QPoint onRow = table->viewport()->mapToGlobal(QPoint(rowRect.left() + 20, rowRect.center().y()));
    TAVO_test_desktop::run("xdotool", {"mousemove", QString::number(onRow.x()), QString::number(onRow.y()), "click", "1"});
    QVERIFY(QTest::qWaitFor([&] { return table->hasFocus() && table->currentRow() == table->row(rows.first()); }, 5000));
    QVERIFY(waitForDescription(oldBox));

    TAVO_test_desktop::run("xdotool", {"key", "c"});

    QVERIFY(QTest::qWaitFor([&] { return panel->isVisible(); }, 5000));
    QCOMPARE(controllers->currentText(), QStringLiteral("Old TV"));
    QCOMPARE(table->currentRow(), table->row(rows.first()));
}

// The set-top box's remote has the digits 1 and 2 and OK; its receiver tunes after OK. Each
// channel tuned shows over the picture, as the number being typed does.
void tst_remote::channelsTuneByNameByDigitsInFullScreenAndByStepping()
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    TAVO_mgr_channelList list;
    list.confirmKey = QStringLiteral("OK");
    list.pauseMs = 100;
    list.channels = {{QStringLiteral("Twelve"), QStringLiteral("12"), {}, {}, {}},
                     {QStringLiteral("Twenty-one"), QStringLiteral("21"), {}, {}, {}}};
    QVERIFY(list.save(livingRoom));
    QVERIFY(selectBox(QStringLiteral("127.0.0.2")));
    QVERIFY(waitForDescription(livingRoom));
    // The Controller button loads the chosen box's remote into the panel, and shows it.
    panel->hide();
    pressController();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    controllers->setCurrentIndex(controllers->findText(QStringLiteral("Set-top Box")));
    giveKeyboardTo(QStringLiteral("main window"));
    pressKey(QStringLiteral("l"));
    auto *channels = window->findChild<QListWidget *>(QStringLiteral("channelList"));
    QVERIFY(QTest::qWaitFor([&] { return channels->isVisible() && channels->count() == 2; }, 5000));

    const QList<QListWidgetItem *> twelve = channels->findItems(QStringLiteral("Twelve"), Qt::MatchEndsWith);
    QCOMPARE(twelve.size(), 1);
    const QPoint row = channels->visualItemRect(twelve.first()).center();
    QTest::mouseClick(channels->viewport(), Qt::LeftButton, Qt::NoModifier, row);
    QTest::mouseDClick(channels->viewport(), Qt::LeftButton, Qt::NoModifier, row);
    QVERIFY(QTest::qWaitFor([&] { return sim->tunedChannel(livingRoom) == QLatin1String("12"); }, 10000));
    QVERIFY(captionOverThePictureSays(QStringLiteral("12"), QStringLiteral("Twelve")));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("playingChannel"))->text(), QStringLiteral("12  Twelve"));
    QVERIFY(TAVO_test_windowParts::waitUntilShown(caption()));
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotFolder + QStringLiteral("channel_by_name.png"));

    // Typed on the picture, the number is tuned whole after a pause: its digits, then OK.
    giveKeyboardTo(QStringLiteral("picture"));
    qsizetype before = sim->requests(livingRoom).size();
    pressKey(QStringLiteral("2"));
    pressKey(QStringLiteral("1"));
    QVERIFY(captionOverThePictureSays(QStringLiteral("21-")));
    QVERIFY(QTest::qWaitFor([&] { return sim->tunedChannel(livingRoom) == QLatin1String("21"); }, 10000));
    QVERIFY(captionOverThePictureSays(QStringLiteral("21"), QStringLiteral("Twenty-one")));
    QTRY_COMPARE(keysSentSince(livingRoom, before), QStringList({"NUM_2", "NUM_1", "OK"}));

    giveKeyboardTo(QStringLiteral("full screen"));
    before = sim->requests(livingRoom).size();
    pressKey(QStringLiteral("1"));
    pressKey(QStringLiteral("2"));
    QVERIFY(captionOverThePictureSays(QStringLiteral("12-")));
    pressKey(QStringLiteral("Return"));
    QVERIFY(QTest::qWaitFor([&] { return sim->tunedChannel(livingRoom) == QLatin1String("12"); }, 10000));
    QVERIFY(captionOverThePictureSays(QStringLiteral("12"), QStringLiteral("Twelve")));
    QTRY_COMPARE(keysSentSince(livingRoom, before), QStringList({"NUM_1", "NUM_2", "OK"}));
    QVERIFY(TAVO_test_windowParts::waitUntilShown(caption()));
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotFolder + QStringLiteral("channel_typed_full_screen.png"));
    // Stepping back through the list, round to its end, then back to the channel watched before;
    // the box's file keeps the last one.
    pressKey(QStringLiteral("ctrl+Prior"));
    QVERIFY(QTest::qWaitFor([&] { return sim->tunedChannel(livingRoom) == QLatin1String("21"); }, 10000));
    pressKey(QStringLiteral("ctrl+BackSpace"));
    QVERIFY(QTest::qWaitFor([&] { return sim->tunedChannel(livingRoom) == QLatin1String("12"); }, 10000));
    QCOMPARE(TAVO_mgr_channelList::load(livingRoom).lastNumber, QStringLiteral("12"));
    pressKey(QStringLiteral("Escape"));
    QVERIFY(QTest::qWaitFor([&] { return !(window->windowState() & Qt::WindowFullScreen); }, 5000));
    // As the cases before it, it leaves the panel open with the box's default remote, and no
    // stream playing: the status line no longer names a channel.
    QTest::mouseClick(TAVO_test_windowParts::button(window, QStringLiteral("Stop")), Qt::LeftButton);
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("playingChannel"))->isHidden());
    window->findChild<QDockWidget *>()->hide();
    controllers->setCurrentIndex(controllers->findText(QStringLiteral("Television")));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    qunsetenv("XDG_DATA_HOME");
}

QWidget *tst_remote::caption() const
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("channelCaption"))
            return widget;
    }
    return nullptr;
}

// The caption shows, inside the picture's place on the screen, the number and the name.
bool tst_remote::captionOverThePictureSays(const QString &number, const QString &name) const
{
    QWidget *shown = caption();
    const QRect picture(window->videoWidget->mapToGlobal(QPoint(0, 0)), window->videoWidget->size());
    const auto says = [&](const char *part, const QString &text) {
        const auto *label = shown->findChild<QLabel *>(QLatin1String(part));
        return text.isEmpty() ? label->isHidden() : label->isVisible() && label->text() == text;
    };
    return shown && QTest::qWaitFor([&] {
        return shown->isVisible() && picture.contains(shown->frameGeometry()) && says("captionNumber", number)
               && says("captionName", name);
    }, 5000);
}

QStringList tst_remote::keysSentSince(const QString &uuid, qsizetype before) const
{
    QStringList keys;
    for (const QString &line : sim->requests(uuid).mid(before))
        keys << line.section(QStringLiteral("&key="), 1).section(QLatin1Char(' '), 0, 0);
    return keys;
}

// The panel first opens beside the main window; where the user then puts it, and the controller
// the user chooses for a box, come back at the next start.
void tst_remote::panelPlaceAndChosenControllerSurviveARestart()
{
    QCOMPARE(panel->frameGeometry().left(), window->frameGeometry().right() + 1);
    QVERIFY(TAVO_test_windowParts::waitUntilShown(window) && TAVO_test_windowParts::waitUntilShown(panel));
    QGuiApplication::primaryScreen()->grabWindow(0).save(screenshotFolder + QStringLiteral("remote_beside_window.png"));
    QVERIFY(selectBox(QStringLiteral("127.0.0.2")));
    QVERIFY(QTest::qWaitFor([&] { return controllers->currentText() == QStringLiteral("Television"); }, 10000));
    const QPoint place(400, 200);  // the whole panel on the screen: a place partly off it comes back on it
    panel->move(place);
    // The panel's arrow keys steer the box; the list's own keys work once it is open.
    controllers->showPopup();
    QVERIFY(QTest::qWaitForWindowExposed(controllers->view()->window()));
    TAVO_test_desktop::run("xdotool", {"key", "Down", "Return"});
    QTRY_COMPARE(controllers->currentText(), QStringLiteral("DVD Player"));
    QTRY_VERIFY(TAVO_mgr_clientSettings::remotePanelPosition() == place);

    TAVO_ui_mainWindow next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QVERIFY(TAVO_test_windowParts::waitForRow(&next, QStringLiteral("Living Room (127.0.0.2)")));
    QVERIFY(TAVO_test_windowParts::clickServerRow(&next, QStringLiteral("Living Room (127.0.0.2)")));
    QVERIFY(waitForDescription(livingRoom));
    TAVO_test_windowParts::button(&next, QStringLiteral("Controller"))->click();
    QWidget *nextPanel = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget != panel && qstrcmp(widget->metaObject()->className(), "TAVO_ui_controller") == 0)
            nextPanel = widget;
    }
    QVERIFY(nextPanel && QTest::qWaitForWindowExposed(nextPanel));
    QCOMPARE(nextPanel->pos(), place);
    auto *nextControllers = nextPanel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"));
    QTRY_COMPARE(nextControllers->currentText(), QStringLiteral("DVD Player"));
    nextPanel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    QTest::mouseClick(TAVO_test_windowParts::keyButton(nextPanel, "STOP"), Qt::LeftButton);
    QVERIFY(sim->waitForRequest(livingRoom, QStringLiteral("id=dvd&key=STOP")));
}

// A lasting notice at the right of the status line that starts so.
bool tst_remote::statusLineNotice(const QString &start) const
{
    const QList<QLabel *> labels = window->statusBar()->findChildren<QLabel *>();
    return std::any_of(labels.begin(), labels.end(), [&](const QLabel *label) {
        return !label->isHidden() && label->text().startsWith(start);
    });
}

// A recording command that crashes holds its box no more: the kernel let go of its lock.
void tst_remote::rowOfABoxRecordedElsewhereIsMarkedUntilItsRecorderDies()
{
    const QTableWidgetItem *row = TAVO_test_windowParts::serverRow(window, QStringLiteral("Living Room (127.0.0.2)"));
    QVERIFY(row);
    QProcess recorder;
    recorder.start(QStringLiteral(TAVO_BIN_DIR "/tavo-record"),
                   {QStringLiteral("--box"), QStringLiteral("Living Room"), QStringLiteral("--output"),
                    runtimeFolder.filePath(QStringLiteral("film.ts"))});
    QVERIFY(recorder.waitForStarted());
    const QString recordedBy = QStringLiteral("Being recorded by tavo-record (pid %1)").arg(recorder.processId());
    QTRY_VERIFY_WITH_TIMEOUT(TAVO_test_windowParts::toolTipText(row).contains(recordedBy), 60000);
    QVERIFY(!row->icon().isNull());
    // The window records what plays all the same, and says who else records it.
    window->findChild<TAVO_ui_recordedRows *>()->windowRecords(livingRoom, QStringLiteral("Living Room"));
    const QString alsoRecorded = QStringLiteral("Living Room is also being recorded by tavo-record (pid %1)")
                                     .arg(recorder.processId());
    QVERIFY2(statusLineNotice(alsoRecorded), qPrintable(alsoRecorded));
    QDir().mkpath(screenshotFolder);
    window->grab().save(screenshotFolder + QStringLiteral("recorded_row.png"));

    ::kill(pid_t(recorder.processId()), SIGKILL);
    QVERIFY(recorder.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(!TAVO_test_windowParts::toolTipText(row).contains(QStringLiteral("Being recorded")), 20000);
    QTRY_VERIFY(!statusLineNotice(alsoRecorded));
    window->findChild<TAVO_ui_recordedRows *>()->windowRecords(QString(), QString());
}

// No holds the key back; Yes lets it and the recording's later keys go.
void tst_remote::keyThatChangesARecordedBoxAsksOnce()
{
    controllers->setCurrentIndex(controllers->findText(QStringLiteral("Television")));
    TAVO_mgr_boxLock lock(livingRoom);
    QString problem;
    QVERIFY2(lock.take(&problem), qPrintable(problem));
    // The window's own lock is no other recorder.
    window->findChild<TAVO_ui_recordedRows *>()->windowRecords(livingRoom, QStringLiteral("Living Room"));
    QVERIFY(!statusLineNotice(QStringLiteral("Living Room is also being recorded")));
    window->findChild<TAVO_ui_recordedRows *>()->windowRecords(QString(), QString());
    TAVO_test_messageBoxes answers;
    // Earlier cases sent these keys too: only the ones this case sends count.
    const qsizetype channelsUp = keyCommands(livingRoom, QStringLiteral("CH_UP")).size();
    const qsizetype mutes = keyCommands(livingRoom, QStringLiteral("MUTE")).size();
    const qsizetype channelsDown = keyCommands(livingRoom, QStringLiteral("CH_DN")).size();

    answers.answer = QMessageBox::No;
    QTest::mouseClick(key("CH_UP"), Qt::LeftButton);
    QCOMPARE(answers.seen.size(), 1);
    QCOMPARE(answers.seen.first().text, QStringLiteral("Living Room is being recorded. Change what is recorded?"));
    // Keys go out in order: once a later one came, the one held back would have come before it.
    QTest::mouseClick(key("MUTE"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(keyCommands(livingRoom, QStringLiteral("MUTE")).size(), mutes + 1, 10000);
    QCOMPARE(keyCommands(livingRoom, QStringLiteral("CH_UP")).size(), channelsUp);

    answers.answer = QMessageBox::Yes;
    QTest::mouseClick(key("CH_UP"), Qt::LeftButton);
    QTest::mouseClick(key("CH_DN"), Qt::LeftButton);
    QCOMPARE(answers.seen.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(keyCommands(livingRoom, QStringLiteral("CH_DN")).size(), channelsDown + 1, 10000);
    QCOMPARE(keyCommands(livingRoom, QStringLiteral("CH_UP")).size(), channelsUp + 1);
}

QTEST_MAIN(tst_remote)
#include "tst_remote.moc"
