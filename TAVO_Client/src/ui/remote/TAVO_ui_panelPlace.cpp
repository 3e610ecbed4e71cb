#include "TAVO_ui_panelPlace.h"

#include <QtGlobal>

namespace {

// The start of a span of this length on [low, high]: as near `start` as it fits, else at `low`.
int within(int start, int length, int low, int high)
{
    return qMax(low, qMin(start, high + 1 - length));
}

} // namespace

QPoint TAVO_ui_panelPlace::onScreen(const QRect &frame, const QRect &screen)
{
    return {within(frame.left(), frame.width(), screen.left(), screen.right()),
            within(frame.top(), frame.height(), screen.top(), screen.bottom())};
}

QPoint TAVO_ui_panelPlace::besideWindow(const QRect &window, const QSize &frame, const QRect &screen)
{
    const int roomRight = screen.right() - window.right();
    const int roomLeft = window.left() - screen.left();
    int x;
    if (roomRight >= frame.width())
        x = window.right() + 1;
    else if (roomLeft >= frame.width())
        x = window.left() - frame.width();
    else
        x = roomRight >= roomLeft ? screen.right() + 1 - frame.width() : screen.left();
    return onScreen(QRect(QPoint(x, window.top()), frame), screen);
}
