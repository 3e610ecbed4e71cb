#ifndef TAVO_UI_PANELPLACE_H
#define TAVO_UI_PANELPLACE_H

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the remote panel's window frame goes. Every place keeps the whole frame on the screen
// where it fits, and always the title bar's start: a title bar off the screen cannot be dragged.
// Rectangles are frames (title bar and borders included) and a screen's available area.
namespace TAVO_ui_panelPlace {

// The frame moved as little as it takes to lie on the screen; one larger than the screen keeps
// its top left corner at the screen's.
QPoint onScreen(const QRect &frame, const QRect &screen);
// Beside the window at its top: at its right, else at its left, where the screen has room. Where
// neither side has room, at the screen's edge on the roomier side, over the window only as much
// as it must.
QPoint besideWindow(const QRect &window, const QSize &frame, const QRect &screen);

} // namespace TAVO_ui_panelPlace

#endif
