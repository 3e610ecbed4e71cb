#include "TAVO_ui_dialogOverFullScreen.h"

#include "TAVO_ui_fullScreenWidget.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>
#include <QWindow>

Q_LOGGING_CATEGORY(lcDialogOverFullScreen, "tavo.ui.fullScreenDialog", QtInfoMsg)

TAVO_ui_dialogOverFullScreen::TAVO_ui_dialogOverFullScreen(TAVO_ui_fullScreenWidget *overlay, QObject *parent)
    : QObject(parent)
    , overlay(overlay)
{
    // Dialogs are made where they are needed (a message box lives only while it is shown).
    qApp->installEventFilter(this);
}

bool TAVO_ui_dialogOverFullScreen::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        dialogShown(qobject_cast<QDialog *>(watched));
        break;
    case QEvent::Expose:
        if (dialog && !raised && watched == dialog->windowHandle())
            raiseDialog();
        break;
    case QEvent::Hide:
        if (dialog && watched == dialog)
            dialogHidden();
        break;
    default:
        break;
    }
    return false;
}

// The show is seen before the dialog's native window is mapped: it takes the stay-on-top hint at
// once, and is raised when it is first exposed.
void TAVO_ui_dialogOverFullScreen::dialogShown(QDialog *shown)
{
    if (!shown || !shown->isWindow() || !shown->isModal() || !overlay->isVisible() || dialog)
        return;
    dialog = shown;
    raised = false;
    keyboardHolder = QWidget::keyboardGrabber();
    holderGrabbed = keyboardHolder != nullptr;
    if (!holderGrabbed)
        keyboardHolder = QApplication::activeWindow();
    QWindow *window = shown->windowHandle();
    window->setFlags(window->flags() | Qt::WindowStaysOnTopHint);
}

// A window that holds the keyboard (the overlay where no compositing manager runs, or the panel
// over the picture) would go on getting every key, and the modal dialog blocks them there: the
// dialog's window holds the keyboard in its turn. Its window, not the dialog itself: a widget that
// grabs the keyboard gets every key, and Space would never reach the dialog's focused button.
void TAVO_ui_dialogOverFullScreen::raiseDialog()
{
    raised = true;
    dialog->raise();
    dialog->activateWindow();
    bool grabbed = false;
    if (holderGrabbed && keyboardHolder) {
        keyboardHolder->releaseKeyboard();
        grabbed = dialog->windowHandle()->setKeyboardGrabEnabled(true);
    }
    qCDebug(lcDialogOverFullScreen) << "Over the full-screen picture:" << dialog->windowTitle()
                                    << "took the keyboard from" << keyboardHolder << "with a grab:" << grabbed;
}

// A dialog shown again later, out of full screen, is an ordinary window again.
void TAVO_ui_dialogOverFullScreen::dialogHidden()
{
    QWindow *window = dialog->windowHandle();
    window->setKeyboardGrabEnabled(false);
    window->setFlags(dialog->windowFlags());
    dialog = nullptr;
    QTimer::singleShot(0, this, &TAVO_ui_dialogOverFullScreen::giveKeyboardBack);
}

void TAVO_ui_dialogOverFullScreen::giveKeyboardBack()
{
    if (!overlay->isVisible())
        return;
    if (!keyboardHolder || keyboardHolder == overlay || !keyboardHolder->isVisible()) {
        overlay->takeKeyboard();
        return;
    }
    keyboardHolder->activateWindow();
    if (holderGrabbed)
        keyboardHolder->grabKeyboard();
}
