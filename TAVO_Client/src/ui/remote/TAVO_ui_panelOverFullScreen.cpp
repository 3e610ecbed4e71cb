#include "TAVO_ui_panelOverFullScreen.h"

#include "TAVO_ui_fullScreenWidget.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TAVO_ui_panelOverFullScreen::TAVO_ui_panelOverFullScreen(QWidget *panel, TAVO_ui_fullScreenWidget *overlay,
                                                         QObject *parent)
    : QObject(parent)
    , panel(panel)
    , overlay(overlay)
{
    panel->installEventFilter(this);
    overlay->installEventFilter(this);
}

// Show and hide are seen before the windows' own handlers run (the overlay takes the keyboard
// in its own): what follows from them waits for the event loop.
bool TAVO_ui_panelOverFullScreen::eventFilter(QObject *watched, QEvent *event)
{
    const bool shown = event->type() == QEvent::Show;
    if (!shown && event->type() != QEvent::Hide)
        return false;
    if (watched == overlay)
        QTimer::singleShot(0, this, shown ? &TAVO_ui_panelOverFullScreen::raisePanel
                                          : &TAVO_ui_panelOverFullScreen::fullScreenLeft);
    else if (watched == panel && shown)
        QTimer::singleShot(0, this, &TAVO_ui_panelOverFullScreen::raisePanel);
    else if (watched == panel)
        QTimer::singleShot(0, this, &TAVO_ui_panelOverFullScreen::panelHidden);
    return false;
}

// The overlay stays on top of every window, so the panel must too, and be raised after it.
// Only the native window takes the hint: the panel's own flags stay as they are.
void TAVO_ui_panelOverFullScreen::raisePanel()
{
    if (!overlay->isVisible() || !panel->isVisible())
        return;
    QWindow *window = panel->windowHandle();
    window->setFlags(window->flags() | Qt::WindowStaysOnTopHint);
    panel->raise();
    panel->activateWindow();
    // Where the overlay holds the keyboard (no compositing manager), the X server refuses to
    // move the focus away from it: the panel holds the keyboard in its turn.
    if (QWidget::keyboardGrabber() == overlay) {
        overlay->releaseKeyboard();
        panel->grabKeyboard();
    }
}

void TAVO_ui_panelOverFullScreen::panelHidden()
{
    releasePanelsKeyboard();
    if (overlay->isVisible())
        overlay->takeKeyboard();
}

void TAVO_ui_panelOverFullScreen::fullScreenLeft()
{
    releasePanelsKeyboard();
    if (QWindow *window = panel->windowHandle())
        window->setFlags(panel->windowFlags());
}

void TAVO_ui_panelOverFullScreen::releasePanelsKeyboard()
{
    if (QWidget::keyboardGrabber() == panel)
        panel->releaseKeyboard();
}
