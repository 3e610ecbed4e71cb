#include "TAVO_ui_pictureMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

TAVO_ui_pictureMenu::TAVO_ui_pictureMenu(QWidget *picture, const QList<QWidget *> &keyWindows)
    : QObject(picture)
    , picture(picture)
    , keyWindows(keyWindows)
    , menu(new QMenu(picture))
{
    picture->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture, &QWidget::customContextMenuRequested, this, &TAVO_ui_pictureMenu::open);
}

QAction *TAVO_ui_pictureMenu::addEntry(const QString &text, const QKeySequence &key)
{
    QAction *entry = menu->addAction(text);
    entry->setShortcut(key);
    entry->setShortcutContext(Qt::WindowShortcut);
    for (QWidget *window : std::as_const(keyWindows))
        window->addAction(entry);
    return entry;
}

void TAVO_ui_pictureMenu::open(const QPoint &where)
{
    menu->popup(picture->mapToGlobal(where));
}
