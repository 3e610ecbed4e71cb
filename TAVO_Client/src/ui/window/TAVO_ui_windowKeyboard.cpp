#include "TAVO_ui_windowKeyboard.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

using namespace TAVO_ui_windowKeys;

TAVO_ui_windowKeyboard::TAVO_ui_windowKeyboard(const Places &places, QObject *parent)
    : QObject(parent)
    , places(places)
{
    for (const Row &row : rows) {
        auto *action = new QAction(QLatin1String(row.menuText), this);
        // A menu shows the key beside its entry. As the widget shortcut of an action that only
        // menus hold, it never fires: the key is this keyboard's alone.
        action->setShortcuts(sequences(row.key));
        action->setShortcutContext(Qt::WidgetShortcut);
        actions.append(action);
    }
    QCoreApplication::instance()->installEventFilter(this);
}

QAction *TAVO_ui_windowKeyboard::action(Key key) const
{
    return actions.at(int(key));
}

// A key is seen twice: first as the question whether a shortcut may have it, which it takes
// from every shortcut, then as the key itself.
bool TAVO_ui_windowKeyboard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    const std::optional<Key> key = pressed(keyEvent, placesOf(watched), places.mainWindow->isFullScreen());
    if (!key)
        return false;
    event->accept();
    if (event->type() == QEvent::KeyPress && (!keyEvent->isAutoRepeat() || row(*key).repeats))
        action(*key)->trigger();
    return true;
}

unsigned TAVO_ui_windowKeyboard::placesOf(QObject *receiver) const
{
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (!widget)
        return 0;
    const QWidget *window = widget->window();
    if (window == places.fullScreenOverlay)
        return InFullScreen;
    if (window == places.panel)
        return InPanel;
    if (window != places.mainWindow)
        return 0;
    const bool inBoxList = widget == places.boxList || places.boxList->isAncestorOf(widget);
    return inBoxList ? InMainWindow | InBoxList : InMainWindow;
}
