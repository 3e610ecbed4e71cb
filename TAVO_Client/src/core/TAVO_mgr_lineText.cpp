#include "TAVO_mgr_lineText.h"

#include <algorithm>

namespace {

bool breaksTheLine(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace TAVO_mgr_lineText {

QString oneLine(const QString &text, int maxChars)
{
    QString line = text.left(maxChars);
    for (QChar &c : line) {
        if (breaksTheLine(c))
            c = QLatin1Char(' ');
    }
    return line;
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace TAVO_mgr_lineText
