// Full screen as on a desktop: openbox, started beside Xvfb by the test command, stacks, frames,
// places and focuses the client's windows.

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_clientSettings.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_desktop.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

namespace {

const QString livingRoom = QStringLiteral("5f0c2a8e-7d1b-4c3a-9e6f-manager00001");

void pressKey(const QString &key)
{
    TAVO_test_desktop::run("xdotool", {"key", key});
}

void saveScreenshot(const QString &name)
{
    const QString folder = QStringLiteral(TAVO_BIN_DIR "/../screenshots/");
    QDir().mkpath(folder);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + name);
}

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class tst_windowManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { delete sim; }
    void cleanup();
    void refusalInFullScreenTakesTheKeyboard_data();
    void refusalInFullScreenTakesTheKeyboard();
    void panelShownInFullScreenStaysInSightAndOnScreen();
    void placeAtOrAboveTheScreensTopIsRestoredOnIt_data();
    void placeAtOrAboveTheScreensTopIsRestoredOnIt();
    void keyboardHelpFitsTheScreenAndClosesOnEscape();

private:
    bool inFullScreen(bool full);
    int commands(const QString &key) const;

    TAVO_test_boxSim *sim = nullptr;
    TAVO_ui_mainWindow *window = nullptr;
    QWidget *panel = nullptr;
};

// Power is refused as a key the box has not learned; Mute (Ctrl+M) is carried out. The window at
// the screen's top left, narrower than it opens, leaves room for the panel at its right.
void tst_windowManager::initTestCase()
{
    QVERIFY2(!TAVO_test_desktop::run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).isEmpty(), "no window manager runs");
    sim = new TAVO_test_boxSim(TAVO_test_boxSim::box({
        {"uuid", livingRoom},
        {"address", "127.0.0.2"},
        {"friendlyName", "Living Room"},
        {"controllers", QVariantList{QVariantMap{{"id", "tv"}, {"name", "Television"}, {"supportKeys", "PWR,MUTE"}}}},
        {"keyStatus", QVariantMap{{"PWR", 514}}},
    }));
    QVERIFY(sim->start());
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->resize(760, 480);
    window->move(screenArea().topLeft());
    QVERIFY(QTest::qWaitFor([&] { return window->frameGeometry().topLeft() == screenArea().topLeft(); }, 5000));
    QVERIFY(TAVO_test_windowParts::waitForRow(window, QStringLiteral("Living Room (127.0.0.2)")));
    QVERIFY(TAVO_test_windowParts::clickServerRow(window, QStringLiteral("Living Room (127.0.0.2)")));
    const QString description = TAVO_mgr_cache::boxFile(livingRoom, QStringLiteral("/rcu/remote.xml"));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(description).size() > 0; }, 10000));
    panel = TAVO_test_windowParts::topLevelOfClass("TAVO_ui_controller");
}

void tst_windowManager::cleanup()
{
    if (window->isFullScreen()) {
        window->setToNormalScreen();
        TAVO_test_windowParts::fullScreenOverlay()->hide();
    }
    panel->hide();
}

int tst_windowManager::commands(const QString &key) const
{
    return int(sim->requests(livingRoom).filter(QStringLiteral("&key=") + key + QStringLiteral(" HTTP/1.1")).size());
}

// F or Escape as the user presses them, and the window manager's answer: the whole screen for
// the window, or its own size back.
bool tst_windowManager::inFullScreen(bool full)
{
    // Qt may take the window for active before the window manager has given it the X focus.
    if (full) {
        const QString windowId = QString::number(window->winId());
        window->activateWindow();
        if (!QTest::qWaitFor([&] { return TAVO_test_desktop::run("xdotool", {"getwindowfocus"}) == windowId; }, 5000))
            return false;
    }
    pressKey(full ? QStringLiteral("f") : QStringLiteral("Escape"));
    return QTest::qWaitFor([&] {
        return window->isFullScreen() == full && TAVO_test_windowParts::fullScreenOverlay()->isVisible() == full
               && (window->geometry() == window->screen()->geometry()) == full;
    }, 5000);
}

void tst_windowManager::refusalInFullScreenTakesTheKeyboard_data()
{
    QTest::addColumn<QString>("closingKey");
    QTest::newRow("Space") << "space";
    QTest::newRow("Escape") << "Escape";
}

// The refusal stands above the picture with the keyboard: the key closes it, and the next key
// reaches the box again.
void tst_windowManager::refusalInFullScreenTakesTheKeyboard()
{
    QFETCH(QString, closingKey);
    QVERIFY(inFullScreen(true));
    TAVO_test_messageBoxes boxes;
    bool closedByKey = false;
    boxes.beforeClose = [&](QMessageBox *box) {
        if (!QTest::qWaitFor([&] { return box->isActiveWindow() && TAVO_test_windowParts::shownOnScreen(box); }, 5000))
            return;
        saveScreenshot(QStringLiteral("refusal_full_screen.png"));
        pressKey(closingKey);
        closedByKey = QTest::qWaitFor([&] { return box->isHidden(); }, 5000);
    };
    pressKey(QStringLiteral("ctrl+shift+p"));
    QVERIFY(QTest::qWaitFor([&] { return !boxes.seen.isEmpty() && !QApplication::activeModalWidget(); }, 15000));
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Error Code : 514"));
    QVERIFY(closedByKey);

    const int mutes = commands(QStringLiteral("MUTE"));
    pressKey(QStringLiteral("ctrl+m"));
    QVERIFY(QTest::qWaitFor([&] { return commands(QStringLiteral("MUTE")) == mutes + 1; }, 5000));
    QVERIFY(window->isFullScreen());
    QVERIFY(inFullScreen(false));
}

// C shows the panel over the picture, in sight with its whole title bar. Back in the window it
// stands beside the window again, and neither place is kept as one the user gave it.
void tst_windowManager::panelShownInFullScreenStaysInSightAndOnScreen()
{
    QVERIFY(inFullScreen(true));
    pressKey(QStringLiteral("c"));
    QVERIFY(QTest::qWaitFor([&] { return panel->isVisible() && TAVO_test_windowParts::shownOnScreen(panel); }, 5000));
    saveScreenshot(QStringLiteral("panel_full_screen.png"));
    QVERIFY2(screenArea().contains(panel->frameGeometry()), qPrintable(QDebug::toString(panel->frameGeometry())));

    QVERIFY(inFullScreen(false));
    const bool beside = QTest::qWaitFor([&] {
        return screenArea().contains(panel->frameGeometry()) && !panel->frameGeometry().intersects(window->frameGeometry());
    }, 5000);
    QVERIFY2(beside, qPrintable(QDebug::toString(panel->frameGeometry()) + QDebug::toString(window->frameGeometry())));
    QVERIFY(TAVO_test_windowParts::shownOnScreen(panel));
    saveScreenshot(QStringLiteral("panel_after_full_screen.png"));
    QCOMPARE(TAVO_mgr_clientSettings::remotePanelPosition(), std::nullopt);
}

void tst_windowManager::placeAtOrAboveTheScreensTopIsRestoredOnIt_data()
{
    QTest::addColumn<QPoint>("place");
    QTest::newRow("title bar above the screen") << QPoint(850, -20);
    QTest::newRow("half of it above") << QPoint(850, -10);
    QTest::newRow("at the screen's top") << QPoint(850, 0);
}

// At the next start. A kept place whose title bar lies above the screen cannot be dragged; nor
// can one at the screen's top edge where the panel's inside, not its frame, is put there.
void tst_windowManager::placeAtOrAboveTheScreensTopIsRestoredOnIt()
{
    QFETCH(QPoint, place);
    TAVO_mgr_clientSettings::setRemotePanelPosition(place);
    TAVO_ui_mainWindow next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QVERIFY(TAVO_test_windowParts::waitForRow(&next, QStringLiteral("Living Room (127.0.0.2)")));
    QVERIFY(TAVO_test_windowParts::clickServerRow(&next, QStringLiteral("Living Room (127.0.0.2)")));
    const QString description = TAVO_mgr_cache::boxFile(livingRoom, QStringLiteral("/rcu/remote.xml"));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(description).size() > 0; }, 10000));
    TAVO_test_windowParts::button(&next, QStringLiteral("Controller"))->click();
    QWidget *nextPanel = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget != panel && widget->inherits("TAVO_ui_controller"))
            nextPanel = widget;
    }
    QVERIFY(nextPanel && QTest::qWaitForWindowExposed(nextPanel));
    const bool onScreen = QTest::qWaitFor([&] { return screenArea().contains(nextPanel->frameGeometry()); }, 5000);
    QVERIFY2(onScreen, qPrintable(QDebug::toString(nextPanel->frameGeometry())));
}

// On a laptop's screen of 1280 x 800 (this program's display) the list of keys, opened with ? as
// the user types it, shows all of itself with its title bar, and Escape closes it.
void tst_windowManager::keyboardHelpFitsTheScreenAndClosesOnEscape()
{
    const QString windowId = QString::number(window->winId());
    window->activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return TAVO_test_desktop::run("xdotool", {"getwindowfocus"}) == windowId; }, 5000));
    pressKey(QStringLiteral("question"));
    QWidget *help = nullptr;
    QVERIFY(QTest::qWaitFor([&] {
        help = qobject_cast<QDialog *>(QApplication::activeWindow());
        return help && help->windowTitle() == QStringLiteral("Keyboard") && TAVO_test_windowParts::shownOnScreen(help);
    }, 5000));
    saveScreenshot(QStringLiteral("window_manager_keyboard_help.png"));
    QVERIFY2(screenArea().contains(help->frameGeometry()),
             qPrintable(QStringLiteral("%1 x %2 at %3, %4 on %5 x %6")
                            .arg(help->frameGeometry().width()).arg(help->frameGeometry().height())
                            .arg(help->frameGeometry().x()).arg(help->frameGeometry().y())
                            .arg(screenArea().width()).arg(screenArea().height())));
    pressKey(QStringLiteral("Escape"));
    QVERIFY(QTest::qWaitFor([&] { return help->isHidden(); }, 5000));
}

QTEST_MAIN(tst_windowManager)
#include "tst_windowManager.moc"
