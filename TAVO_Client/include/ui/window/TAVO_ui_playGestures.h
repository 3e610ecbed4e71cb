#ifndef TAVO_UI_PLAYGESTURES_H
#define TAVO_UI_PLAYGESTURES_H

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QTableWidget;
class QWidget;

// Switching and full screen as in desktop players: the window's play key (Enter on a box's row)
// or a double click on the row plays that box, a double click on the picture (or on the
// full-screen overlay above it) toggles full screen.
class TAVO_ui_playGestures : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_playGestures(QTableWidget *boxList, QAction *playKey, const QList<QWidget *> &pictures,
                         std::function<void(int row)> playRow, std::function<void()> toggleFullScreen,
                         QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(int row)> playRow;
    std::function<void()> toggleFullScreen;
};

#endif
