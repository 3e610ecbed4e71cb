#include "TAVO_mgr_mainManager.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenNotice.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_mainWindow.h"

#include <QLabel>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QtTest>

using namespace TAVO_test_windowParts;

class tst_fullScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void overlayIsAnInvisibleFramelessWindowOverTheDesktop();
    void fEntersFullScreen();
    void leavingKeyOnOverlayRestoresLayout_data();
    void leavingKeyOnOverlayRestoresLayout();
    void fullScreenCanBeEnteredAgain();
    void cRunsControllerSwitch();
    void otherKeysDoNothing_data();
    void otherKeysDoNothing();
    void closeIsIgnored();
    void doubleClickOnThePictureTogglesFullScreen();
    void keyBeforeParentIsSetIsIgnored();
    void overlayIsNamedAfterTheBox();
    void statusLineSpeaksOverThePicture();

private:
    void enterFullScreen();
    void verifyFullScreen();
    void verifyNormal();

    TAVO_ui_mainWindow *window = nullptr;
    QSplitter *videoSplitter = nullptr;
    QSplitter *paneSplitter = nullptr;
};

// One window for all: the main window keeps its overlay for the life of the process.
void tst_fullScreen::initTestCase()
{
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    videoSplitter = splitter(window, Qt::Vertical);
    paneSplitter = splitter(window, Qt::Horizontal);
    QVERIFY(videoSplitter && paneSplitter && fullScreenOverlay());
}

void tst_fullScreen::cleanup()
{
    window->setToNormalScreen();
    fullScreenOverlay()->hide();
}

void tst_fullScreen::cleanupTestCase()
{
    delete window;
}

void tst_fullScreen::enterFullScreen()
{
    window->activateWindow();
    QTest::keyClick(window, Qt::Key_F);
    verifyFullScreen();
}

void tst_fullScreen::verifyFullScreen()
{
    QVERIFY(fullScreenOverlay()->isVisible());
    QVERIFY(window->windowState() & Qt::WindowFullScreen);
    QVERIFY(paneSplitter->widget(0)->isHidden());
    QVERIFY(videoSplitter->widget(1)->isHidden());
    QCOMPARE(videoSplitter->contentsMargins(), QMargins(0, 0, 0, 0));
}

void tst_fullScreen::verifyNormal()
{
    QVERIFY(fullScreenOverlay()->isHidden());
    QVERIFY(!(window->windowState() & Qt::WindowFullScreen));
    QVERIFY(!paneSplitter->widget(0)->isHidden());
    QVERIFY(!videoSplitter->widget(1)->isHidden());
    QCOMPARE(videoSplitter->contentsMargins(), QMargins(0, 10, 10, 0));
}

void tst_fullScreen::overlayIsAnInvisibleFramelessWindowOverTheDesktop()
{
    TAVO_ui_fullScreenWidget *widget = fullScreenOverlay();
    // Qt keeps the opacity in steps of 1/255.
    QVERIFY(qAbs(widget->windowOpacity() - 0.01) < 1.0 / 255);
    const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
    QCOMPARE(widget->size(), desktop);
    QCOMPARE(widget->minimumSize(), desktop);
    QCOMPARE(widget->maximumSize(), desktop);
    QVERIFY(widget->isWindow());
    QCOMPARE(widget->windowFlags() & ~Qt::WindowType_Mask,
             Qt::WindowFlags(Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint));
    QCOMPARE(widget->windowType(), Qt::Window);
}

void tst_fullScreen::fEntersFullScreen()
{
    verifyNormal();
    enterFullScreen();
}

void tst_fullScreen::leavingKeyOnOverlayRestoresLayout_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("F") << Qt::Key_F << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("f") << Qt::Key_F << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("Escape") << Qt::Key_Escape << Qt::KeyboardModifiers(Qt::NoModifier);
}

void tst_fullScreen::leavingKeyOnOverlayRestoresLayout()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    enterFullScreen();
    QTest::keyClick(fullScreenOverlay(), key, modifiers);
    verifyNormal();
}

void tst_fullScreen::fullScreenCanBeEnteredAgain()
{
    enterFullScreen();
    QTest::keyClick(fullScreenOverlay(), Qt::Key_F);
    verifyNormal();
    enterFullScreen();
}

// With no server selected the switch only says so; the overlay and the full screen stay.
void tst_fullScreen::cRunsControllerSwitch()
{
    enterFullScreen();
    QTest::ignoreMessage(QtDebugMsg, "Please Select a Server");
    QTest::keyClick(fullScreenOverlay(), Qt::Key_C);
    verifyFullScreen();
}

void tst_fullScreen::otherKeysDoNothing_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Left") << Qt::Key_Left;
    QTest::newRow("Up") << Qt::Key_Up;
    QTest::newRow("Space") << Qt::Key_Space;
    QTest::newRow("Q") << Qt::Key_Q;
}

void tst_fullScreen::otherKeysDoNothing()
{
    QFETCH(Qt::Key, key);
    enterFullScreen();
    QTest::keyClick(fullScreenOverlay(), key);
    verifyFullScreen();
}

void tst_fullScreen::closeIsIgnored()
{
    enterFullScreen();
    QVERIFY(!fullScreenOverlay()->close());
    verifyFullScreen();
}

// The overlay lies over the picture in full screen: a double click there comes back.
void tst_fullScreen::doubleClickOnThePictureTogglesFullScreen()
{
    QTest::mouseDClick(window->videoWidget, Qt::LeftButton);
    verifyFullScreen();
    QTest::mouseDClick(fullScreenOverlay(), Qt::LeftButton);
    verifyNormal();
}

// A fresh overlay that was never shown knows no main window yet: its keys must not crash.
void tst_fullScreen::keyBeforeParentIsSetIsIgnored()
{
    TAVO_ui_fullScreenWidget lone;
    QTest::keyClick(&lone, Qt::Key_F);
    QTest::keyClick(&lone, Qt::Key_C);
    QVERIFY(lone.isHidden());
}

// A task switcher lists the overlay too: by the chosen box's name once a box is chosen.
void tst_fullScreen::overlayIsNamedAfterTheBox()
{
    enterFullScreen();
    QCOMPARE(fullScreenOverlay()->windowTitle(), QStringLiteral("Full screen"));
    QTest::keyClick(fullScreenOverlay(), Qt::Key_F);

    TAVO_SERVER server;
    server.device.friendlyName = QStringLiteral("Living Room");
    server.device.UDN = QStringLiteral("4d696e69-0000-0000-0000-0000000000f5");
    window->mManager->addServer(server);
    window->addServer(QStringLiteral("Living Room (127.0.0.1)"));
    QVERIFY(clickServerRow(window, QStringLiteral("Living Room (127.0.0.1)")));
    enterFullScreen();
    QCOMPARE(fullScreenOverlay()->windowTitle(), QStringLiteral("Living Room — full screen"));
}

// In full screen the status line is hidden: what it says shows near the top of the screen, over
// the picture, without taking the keyboard from the overlay, and goes after a while, or at once
// with the full screen.
void tst_fullScreen::statusLineSpeaksOverThePicture()
{
    auto *notice = qobject_cast<QLabel *>(window->findChild<TAVO_ui_fullScreenNotice *>()->noticeWindow());
    QVERIFY(notice);
    window->statusBar()->showMessage(QStringLiteral("Volume 70%"));
    QVERIFY(notice->isHidden());

    // The platform's word on the earlier tests' window states comes first.
    TAVO_test_eventLoop::runPosted();
    enterFullScreen();
    QWidget *keyboard = QApplication::activeWindow();
    const QString lost = QStringLiteral("Lost the stream of Plain; trying again in 1 s…");
    window->statusBar()->showMessage(lost);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), lost);
    QCOMPARE(QApplication::activeWindow(), keyboard);
    QVERIFY(notice->windowFlags().testFlags(Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint));
    const QRect screen = window->screen()->geometry();
    QVERIFY(screen.contains(notice->geometry()));
    QVERIFY(notice->geometry().bottom() < screen.center().y());
    QTRY_VERIFY_WITH_TIMEOUT(notice->isHidden(), 30000);
    QVERIFY(window->isFullScreen());

    // The line says again what it said before the mute: no news over the picture.
    const QString playing = QStringLiteral("Playing Living Room");
    window->statusBar()->showMessage(playing);
    QTest::keyClick(fullScreenOverlay(), Qt::Key_M);
    QTRY_COMPARE(window->statusBar()->currentMessage(), playing);
    QVERIFY2(notice->text().startsWith(QStringLiteral("Sound off")), qPrintable(notice->text()));
    QTest::keyClick(fullScreenOverlay(), Qt::Key_M);

    window->statusBar()->showMessage(QStringLiteral("Volume 70%"));
    QVERIFY(notice->isVisible());
    QTest::keyClick(fullScreenOverlay(), Qt::Key_F);
    QVERIFY(notice->isHidden());
}

QTEST_MAIN(tst_fullScreen)
#include "tst_fullScreen.moc"
