#include "TAVO_ui_shortText.h"

#include "TAVO_mgr_lineText.h"

#include <QFontMetrics>

namespace {

const QChar ellipsis(0x2026);
// More than a line of the widest screen shows: what is beyond it is not measured.
constexpr int lineChars = 2000;

// `start`, a cut start of `line`, without the word the cut went through; a word longer than the
// room is cut where it must be.
QString atWordEnd(const QString &line, QString start)
{
    if (start.size() < line.size() && !line.at(start.size()).isSpace()) {
        const qsizetype space = start.lastIndexOf(QLatin1Char(' '));
        if (space > 0)
            start.truncate(space);
    }
    return start.trimmed() + ellipsis;
}

} // namespace

namespace TAVO_ui_shortText {

QString bounded(const QString &text, int maxChars)
{
    // One character more than the room tells whether the cut goes through a word.
    const QString line = TAVO_mgr_lineText::oneLine(text, maxChars + 1);
    if (line.size() <= maxChars)
        return line;
    return atWordEnd(line, line.left(maxChars - 1));
}

QString elided(const QString &text, const QFontMetrics &metrics, int width)
{
    const QString line = bounded(text, lineChars);
    const QString cut = metrics.elidedText(line, Qt::ElideRight, width);
    if (cut == line || !cut.endsWith(ellipsis))
        return cut;
    return atWordEnd(line, cut.chopped(1));
}

} // namespace TAVO_ui_shortText
