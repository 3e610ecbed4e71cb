#include "TAVO_ui_playGestures.h"

#include <QAction>
#include <QMouseEvent>
#include <QTableWidget>

TAVO_ui_playGestures::TAVO_ui_playGestures(QTableWidget *boxList, QAction *playKey, const QList<QWidget *> &pictures,
                                           std::function<void(int row)> playRow,
                                           std::function<void()> toggleFullScreen, QObject *parent)
    : QObject(parent)
    , playRow(std::move(playRow))
    , toggleFullScreen(std::move(toggleFullScreen))
{
    for (QWidget *picture : pictures)
        picture->installEventFilter(this);
    connect(boxList, &QTableWidget::cellDoubleClicked, this, [this](int row) { this->playRow(row); });
    // The key acts on the row made current, by a click or by the arrow keys.
    connect(playKey, &QAction::triggered, this, [this, boxList] {
        if (boxList->currentRow() >= 0)
            this->playRow(boxList->currentRow());
    });
}

bool TAVO_ui_playGestures::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched)
    if (event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        toggleFullScreen();
        return true;
    }
    return false;
}
