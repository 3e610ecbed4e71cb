#include "TAVO_ui_remoteKeyboard.h"

#include "TAVO_ui_controller.h"
#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_keySlots.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>
#include <QWidget>

TAVO_ui_remoteKeyboard::TAVO_ui_remoteKeyboard(TAVO_ui_controller *panel, QWidget *overlay, QWidget *picture,
                                               WindowActions actions, QObject *parent)
    : QObject(parent)
    , panel(panel)
    , overlay(overlay)
    , actions(std::move(actions))
{
    // Keys go to the focus widget, which inside the panel is one of its buttons or its list.
    panel->installEventFilter(this);
    for (QWidget *child : panel->findChildren<QWidget *>())
        child->installEventFilter(this);
    overlay->installEventFilter(this);
    picture->installEventFilter(this);
    picture->setFocusPolicy(Qt::ClickFocus);
    // A key released in another program would leave its button repeating.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focusWindow) {
        if (!focusWindow)
            letGoOfHeldButtons();
    });
}

bool TAVO_ui_remoteKeyboard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The map's keys belong to the box here, not to a shortcut of the window.
        if (TAVO_ui_keyboardMap::slotFor(static_cast<QKeyEvent *>(event)) >= 0) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::KeyPress:
        return keyPressed(watched, static_cast<QKeyEvent *>(event));
    case QEvent::KeyRelease:
        return keyReleased(static_cast<QKeyEvent *>(event));
    case QEvent::Hide:
        // Full screen ends, by a key or a double click: what it held comes up unsent.
        if (watched == overlay)
            letGoOfHeldButtons();
        return false;
    default:
        return false;
    }
}

// The button goes down as under the space bar of a focused button: it shows its pressed image
// and, if it repeats, starts its own repeat; the keyboard's repeated presses are dropped.
bool TAVO_ui_remoteKeyboard::keyPressed(QObject *watched, const QKeyEvent *event)
{
    const int slotIndex = TAVO_ui_keyboardMap::slotFor(event);
    if (slotIndex < 0)
        return false;
    if (event->isAutoRepeat() || heldButtons.contains(holdingKey(event)) || !hasRemote(watched))
        return true;
    auto *button = panel->findChild<QPushButton *>(tavoKeySlots[slotIndex].objectName());
    if (!button || !button->isEnabled())
        return true;
    heldButtons.insert(holdingKey(event), button);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &down);
    return true;
}

// Keys in the panel steer the box it names. Keys on the picture steer the box whose picture it
// is, the chosen one: the panel follows it, loading its remote without showing itself.
bool TAVO_ui_remoteKeyboard::hasRemote(QObject *watched)
{
    const bool inPanel = watched == panel || panel->isAncestorOf(qobject_cast<QWidget *>(watched));
    return inPanel ? !panel->strUrl.isEmpty() : actions.steerChosenBox();
}

// The physical key: a modifier may come up before the key it changed (Shift before the + it
// made), and the same key then reads differently (=). Keys made up without a key code (by a
// test, an input method) are known by their name.
quint32 TAVO_ui_remoteKeyboard::holdingKey(const QKeyEvent *event)
{
    const quint32 keyCode = event->nativeScanCode();
    return keyCode != 0 ? keyCode : 0x80000000u | quint32(event->key());
}

// Coming up, the button clicks: the same command a mouse click sends.
bool TAVO_ui_remoteKeyboard::keyReleased(const QKeyEvent *event)
{
    if (!heldButtons.contains(holdingKey(event)))
        return TAVO_ui_keyboardMap::slotFor(event) >= 0;
    if (event->isAutoRepeat())
        return true;
    const QPointer<QPushButton> button = heldButtons.take(holdingKey(event));
    if (button) {
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &up);
    }
    return true;
}

// As a mouse dragged off a held button: it comes up and sends nothing.
void TAVO_ui_remoteKeyboard::letGoOfHeldButtons()
{
    const QList<QPointer<QPushButton>> buttons = heldButtons.values();
    heldButtons.clear();
    for (QPushButton *button : buttons) {
        if (button && button->isDown()) {
            button->setDown(false);
            Q_EMIT button->released();
        }
    }
}
