#ifndef TAVO_UI_KEYBOARDHELP_H
#define TAVO_UI_KEYBOARDHELP_H

#include <QObject>

class QAction;
class QDialog;
class QMenu;
class QScrollArea;
class QWidget;

// The "Keyboard" window: which keys of the computer press which key of the box's remote, and
// the window's own keys beside them, both from their tables. It opens from the remote panel's
// context menu and wherever its action is (the picture's context menu, its key), fits the
// screen it opens on, scrolling the whole page where it does not fit, and closes on Escape.
class TAVO_ui_keyboardHelp : public QObject
{
    Q_OBJECT

public:
    // The window belongs to `window`; `open` is the window key's action that shows it.
    TAVO_ui_keyboardHelp(QWidget *window, QWidget *panel, QAction *open);

    void show();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QDialog *create();
    void fitToScreen();

    QWidget *window;
    QMenu *menu;
    QDialog *helpWindow = nullptr;
    QScrollArea *scrollArea = nullptr;  // the page of both lists, in the help window
};

#endif
