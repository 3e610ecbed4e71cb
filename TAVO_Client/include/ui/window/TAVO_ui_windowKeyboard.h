#ifndef TAVO_UI_WINDOWKEYBOARD_H
#define TAVO_UI_WINDOWKEYBOARD_H

#include "TAVO_ui_windowKeys.h"

#include <QList>
#include <QObject>

class QAction;
class QWidget;

// The one owner of the window's own keys (TAVO_ui_windowKeys.def). Each key is an action,
// which a context menu can show with its key; the key runs it where and when the table says.
// The keys are seen for the whole application before any widget, shortcut or event filter
// sees them, so what a key does never depends on which handler was installed first. The box's
// keys are never window keys where both work: they go on to the remote keyboard.
class TAVO_ui_windowKeyboard : public QObject
{
    Q_OBJECT

public:
    struct Places
    {
        QWidget *mainWindow;
        QWidget *fullScreenOverlay;
        QWidget *boxList;
        QWidget *panel;
    };

    TAVO_ui_windowKeyboard(const Places &places, QObject *parent = nullptr);

    // Its triggered() signal does the key's work; its text and shortcut are the table's, for
    // menus. Added to menus only, never to a window, it is run by this keyboard alone.
    QAction *action(TAVO_ui_windowKeys::Key key) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    unsigned placesOf(QObject *receiver) const;

    Places places;
    QList<QAction *> actions;  // in the table's order
};

#endif
