// Writes a manual page from its template, with the lists taken from the same tables as the
// programs': the box's remote (TAVO_ui_keySlots.def) and the window's own keys
// (TAVO_ui_windowKeys.def) as the help window shows them, and the commands' stream setting
// options (TAVO_mgr_streamSettings). The template marks where each list goes with a comment line.
// Usage: manPage <template> <output>

#include "TAVO_mgr_streamSettings.h"
#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_windowKeys.h"

#include <QCommandLineOption>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

const QString remoteKeysMark = QStringLiteral(".\\\" remote keys");
const QString windowKeysMark = QStringLiteral(".\\\" window keys");
const QString streamSettingsMark = QStringLiteral(".\\\" stream settings");

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

// "--video-codec mpeg2|h264" and what it does, as --help says it.
QStringList optionList(const QList<QCommandLineOption> &options)
{
    QStringList lines;
    for (const QCommandLineOption &option : options)
        lines << QStringLiteral(".TP") << QStringLiteral(".BI \\-\\-%1 \" %2\"").arg(roff(option.names().constFirst()), roff(option.valueName()))
              << roff(option.description());
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
    const QMap<QString, QStringList> lists{
        {remoteKeysMark, keyList(TAVO_ui_keyboardMap::helpRows())},
        {windowKeysMark, keyList(TAVO_ui_windowKeys::helpRows())},
        {streamSettingsMark, optionList(TAVO_mgr_streamSettings::commandLineOptions())}};
    int marks = 0;
    for (auto list = lists.cbegin(); list != lists.cend(); ++list) {
        if (lines.count(list.key()) > 1) {
            std::fprintf(stderr, "%s marks the place of a list twice\n", argv[1]);
            return 1;
        }
        marks += int(lines.count(list.key()));
    }
    if (marks == 0) {
        std::fprintf(stderr, "%s marks no place for a list\n", argv[1]);
        return 1;
    }
    QStringList page;
    for (const QString &line : lines)
        page << lists.value(line, QStringList{line});

    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    out.write(page.join(QLatin1Char('\n')).toUtf8());
    return out.commit() ? 0 : 1;
}
