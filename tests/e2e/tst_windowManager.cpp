// Full screen as on a desktop: openbox, started beside Xvfb by the test command, stacks, frames,
// places and focuses the client's windows.

#include "TAVO_mgr_cache.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_desktop.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_mainWindow.h"

#include <QDir>
#include <QMessageBox>
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

private:
    bool inFullScreen(bool full);
    int commands(const QString &key) const;

    TAVO_test_boxSim *sim = nullptr;
    TAVO_ui_mainWindow *window = nullptr;
    QWidget *panel = nullptr;
};

// Power is refused as a key the box has not learned; Mute (Ctrl+M) is carried out.
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
        if (!QTest::qWaitFor([&] { return box->isActiveWindow() && TAVO_test_desktop::showsOnScreen(box); }, 5000))
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

QTEST_MAIN(tst_windowManager)
#include "tst_windowManager.moc"
