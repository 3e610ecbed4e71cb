#include "TAVO_ui_pictureMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

TAVO_ui_pictureMenu::TAVO_ui_pictureMenu(QWidget *picture)
    : QObject(picture)
    , picture(picture)
    , menu(new QMenu(picture))
{
    picture->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture, &QWidget::customContextMenuRequested, this, &TAVO_ui_pictureMenu::open);
}

void TAVO_ui_pictureMenu::addEntry(QAction *entry)
{
    menu->addAction(entry);
}

void TAVO_ui_pictureMenu::open(const QPoint &where)
{
    menu->popup(picture->mapToGlobal(where));
}
