#ifndef TAVO_UI_PICTUREMENU_H
#define TAVO_UI_PICTUREMENU_H

#include <QObject>

class QAction;
class QMenu;
class QPoint;
class QWidget;

// The context menu of the picture (the video area). Its entries are the window's key actions
// (TAVO_ui_windowKeyboard), so the menu shows each entry's key.
class TAVO_ui_pictureMenu : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_ui_pictureMenu(QWidget *picture);

    // Adds an entry at the end of the menu; its triggered() signal does the work.
    void addEntry(QAction *entry);

private:
    void open(const QPoint &where);

    QWidget *picture;
    QMenu *menu;
};

#endif
