#include "TAVO_ui_playGestures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableWidget>

TAVO_ui_playGestures::TAVO_ui_playGestures(QTableWidget *boxList, const QList<QWidget *> &pictures,
                                           std::function<void(int row)> playRow,
                                           std::function<void()> toggleFullScreen, QObject *parent)
    : QObject(parent)
    , boxList(boxList)
    , playRow(std::move(playRow))
    , toggleFullScreen(std::move(toggleFullScreen))
{
    boxList->installEventFilter(this);
    for (QWidget *picture : pictures)
        picture->installEventFilter(this);
    connect(boxList, &QTableWidget::cellDoubleClicked, this, [this](int row) { this->playRow(row); });
}

bool TAVO_ui_playGestures::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == boxList) {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || boxList->currentRow() < 0)
            return false;
        playRow(boxList->currentRow());
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        toggleFullScreen();
        return true;
    }
    return false;
}
