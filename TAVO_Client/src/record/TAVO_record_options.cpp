#include "TAVO_record_options.h"

#include "TAVO_mgr_commandLine.h"
#include "TAVO_mgr_rcuDescription.h"
#include "TAVO_mgr_streamSettings.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

bool TAVO_record_options::parse(const QStringList &arguments, const QDateTime &now, TAVO_record_options *options,
                                QString *problem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Records the live stream of a streamer box."));
    const QCommandLineOption box(QStringLiteral("box"), QStringLiteral("The box: friendly name, UDN, IP address, address:port or the URL of its description."),
                                 QStringLiteral("box"));
    const QCommandLineOption forLength(QStringLiteral("for"), QStringLiteral("Record for 95m, 90s or 2h."),
                                       QStringLiteral("length"));
    const QCommandLineOption until(QStringLiteral("until"), QStringLiteral("Record until HH:MM."),
                                   QStringLiteral("time"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("The file to write, - for standard output."),
                                    QStringLiteral("file"));
    const QCommandLineOption channel(QStringLiteral("channel"), QStringLiteral("Tune to this channel first: its number, or its name in the box's channel list."),
                                     QStringLiteral("channel"));
    const QCommandLineOption keys(QStringLiteral("keys"),
                                  QStringLiteral("Tune by these keys of the box's remote (NUM_1,NUM_0,OK), in place of the channel list's."),
                                  QStringLiteral("keys"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Say every step on standard error."));
    if (!TAVO_mgr_commandLine::parse(parser,
                                     QList<QCommandLineOption>{box, forLength, until, output, channel, keys, verbose}
                                         + TAVO_mgr_streamSettings::commandLineOptions(),
                                     arguments, problem)
        || !TAVO_mgr_streamSettings::readCommandLine(parser, &options->streamSettings, problem))
        return false;
    if (!TAVO_mgr_boxName::read(parser.value(box), &options->box, problem))
        return false;
    if (parser.isSet(forLength) && parser.isSet(until)) {
        *problem = QStringLiteral("give --for or --until, not both");
        return false;
    }
    if (parser.isSet(forLength)) {
        const qint64 ms = lengthMs(parser.value(forLength));
        if (ms <= 0) {
            *problem = QStringLiteral("--for takes a length such as 95m, 90s or 2h");
            return false;
        }
        options->forMs = ms;
    }
    if (parser.isSet(until)) {
        options->endAt = nextTimeOfDay(parser.value(until), now);
        if (!options->endAt.isValid()) {
            *problem = QStringLiteral("--until takes a time of day such as 21:35");
            return false;
        }
    }
    options->output = parser.value(output);
    // A number, or a name of the box's channel list.
    options->channel = parser.value(channel).trimmed();
    if (parser.isSet(channel) && options->channel.isEmpty()) {
        *problem = QStringLiteral("--channel takes the channel's number or name");
        return false;
    }
    if (parser.isSet(keys)) {
        options->keys = parser.value(keys).split(QLatin1Char(','));
        const bool known = std::all_of(options->keys.cbegin(), options->keys.cend(), TAVO_mgr_rcuDescription::isKnownKey);
        if (!known || options->keys.size() > keysLimit) {
            *problem = QStringLiteral("--keys takes up to %1 names of the box's remote keys, separated by commas, such as NUM_1,NUM_0,OK")
                           .arg(keysLimit);
            return false;
        }
    }
    options->verbose = parser.isSet(verbose);
    return true;
}

qint64 TAVO_record_options::lengthMs(const QString &text)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^([0-9]{1,7})([smh]?)$")).match(text.trimmed());
    if (!match.hasMatch())
        return -1;
    const qint64 count = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    const qint64 unitMs = unit == QLatin1String("h") ? 3600000 : unit == QLatin1String("m") ? 60000 : 1000;
    return count * unitMs;
}

QDateTime TAVO_record_options::nextTimeOfDay(const QString &text, const QDateTime &now)
{
    const QTime time = QTime::fromString(text.trimmed(), QStringLiteral("H:mm"));
    if (!time.isValid())
        return QDateTime();
    QDateTime at(now.date(), time);
    if (at <= now)
        at = at.addDays(1);
    return at;
}
