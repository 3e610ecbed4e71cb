#ifndef TAVO_UI_KEYBOARDHELP_H
#define TAVO_UI_KEYBOARDHELP_H

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QMenu;
class QWidget;

// The "Keyboard" entry of the remote panel's context menu: a window that lists which keys of
// the computer press which key of the box's remote, and the window's own keys beside them.
class TAVO_ui_keyboardHelp : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_ui_keyboardHelp(QWidget *panel);

    // The rows of the map: the keys, then the remote key they press ("Return or Enter", "OK").
    static QList<QPair<QString, QString>> remoteKeys();
    // The rows of the window's own keys and clicks.
    static QList<QPair<QString, QString>> windowKeys();

    void show();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *panel;
    QMenu *menu;
    QWidget *mapWindow = nullptr;
};

#endif
