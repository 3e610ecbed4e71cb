#ifndef TAVO_MGR_LINETEXT_H
#define TAVO_MGR_LINETEXT_H

#include <QString>

// What a box sends (its name, its answers) becomes one line of a terminal, a window, a page or a
// document only through here: none of its control characters moves a terminal's cursor or
// breaks a line of a playlist, none of its format characters (a right-to-left override) turns
// the rest of the line around, and no line runs on without end.
namespace TAVO_mgr_lineText {

constexpr int longestLine = 1000;

// Control, format, line and paragraph separator characters become spaces; at most `maxChars`
// characters are kept.
QString oneLine(const QString &text, int maxChars = longestLine);
// True when a control character (a line break among them) is in `text`: a field that must be
// kept as it was typed is refused rather than changed.
bool hasControlCharacters(const QString &text);

} // namespace TAVO_mgr_lineText

#endif
