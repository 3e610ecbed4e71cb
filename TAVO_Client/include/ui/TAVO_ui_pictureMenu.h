#ifndef TAVO_UI_PICTUREMENU_H
#define TAVO_UI_PICTUREMENU_H

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// The context menu of the picture (the video area). Each entry may have a key, which works in
// every window handed to the constructor while that window is active, and is shown in the menu.
class TAVO_ui_pictureMenu : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_pictureMenu(QWidget *picture, const QList<QWidget *> &keyWindows);

    // Adds an entry at the end of the menu; its triggered() signal does the work.
    QAction *addEntry(const QString &text, const QKeySequence &key = QKeySequence());

private:
    void open(const QPoint &where);

    QWidget *picture;
    QList<QWidget *> keyWindows;
    QMenu *menu;
};

#endif
