// Writes the manual page from its template, with the keys listed from the same tables as the
// help window's: the box's remote (TAVO_ui_keySlots.def) and the window's own keys
// (TAVO_ui_windowKeys.def). The template marks where each list goes with a comment line.
// Usage: manPage <template> <output>

#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_windowKeys.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

const QString remoteKeysMark = QStringLiteral(".\\\" remote keys");
const QString windowKeysMark = QStringLiteral(".\\\" window keys");

// Text as roff prints it: a backslash and a minus sign as themselves, never a request.
QString roff(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    text.replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QLatin1String("\\&"));
    return text;
}

QStringList keyList(const QList<QPair<QString, QString>> &rows)
{
    QStringList lines;
    for (const auto &[keys, meaning] : rows)
        lines << QStringLiteral(".TP") << QStringLiteral(".B ") + roff(keys) << roff(meaning);
    return lines;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <template> <output>\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    if (lines.count(remoteKeysMark) != 1 || lines.count(windowKeysMark) != 1) {
        std::fprintf(stderr, "%s must mark one place for the remote keys and one for the window keys\n", argv[1]);
        return 1;
    }
    QStringList page;
    for (const QString &line : lines) {
        if (line == remoteKeysMark)
            page << keyList(TAVO_ui_keyboardMap::helpRows());
        else if (line == windowKeysMark)
            page << keyList(TAVO_ui_windowKeys::helpRows());
        else
            page << line;
    }

    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    out.write(page.join(QLatin1Char('\n')).toUtf8());
    return out.commit() ? 0 : 1;
}
