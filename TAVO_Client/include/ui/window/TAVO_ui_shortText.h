#ifndef TAVO_UI_SHORTTEXT_H
#define TAVO_UI_SHORTTEXT_H

#include <QString>

class QFontMetrics;

// A box names itself as it likes: a name of a megabyte, with line feeds in it, reaches a window
// title, the status line or a notice over the picture as it came. What the window shows of such
// text stays on one line and within a bound, cut after a whole word where one fits, with an
// ellipsis; what was cut stays in a tool tip where there is one.
namespace TAVO_ui_shortText {

// The most of a box's name that a window title or a question shows.
constexpr int nameChars = 80;

// One line (TAVO_mgr_lineText) of at most `maxChars` characters.
QString bounded(const QString &text, int maxChars);
// At most `width` pixels in `metrics`.
QString elided(const QString &text, const QFontMetrics &metrics, int width);

} // namespace TAVO_ui_shortText

#endif
