#include "TAVO_mgr_playlist.h"

#include "TAVO_mgr_lineText.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString header = QStringLiteral("#EXTM3U");
const QString entryTag = QStringLiteral("#EXTINF:");

// The attributes between the duration and the comma: name="value" pairs, nothing else.
QHash<QString, QString> attributesOf(const QString &text, QString *fault)
{
    static const QRegularExpression pair(QStringLiteral("\\G\\s*([A-Za-z][A-Za-z0-9_-]*)=\"([^\"]*)\""));
    QHash<QString, QString> attributes;
    qsizetype at = 0;
    while (at < text.size()) {
        const QRegularExpressionMatch match = pair.match(text, at);
        if (!match.hasMatch()) {
            if (!text.mid(at).trimmed().isEmpty())
                *fault = QStringLiteral("the attributes are not name=\"value\" pairs from \"%1\" on").arg(text.mid(at, 40));
            break;
        }
        attributes.insert(match.captured(1), match.captured(2));
        at = match.capturedEnd();
    }
    return attributes;
}

// The text after the last quoted attribute's comma: the channel's display name.
qsizetype titleComma(const QString &line)
{
    bool quoted = false;
    for (qsizetype at = 0; at < line.size(); ++at) {
        if (line.at(at) == QLatin1Char('"'))
            quoted = !quoted;
        else if (line.at(at) == QLatin1Char(',') && !quoted)
            return at;
    }
    return -1;
}

bool channelFromEntry(const QString &line, TAVO_mgr_channel *channel, QString *fault)
{
    const qsizetype comma = titleComma(line);
    if (comma < 0) {
        *fault = QStringLiteral("#EXTINF has no comma before the channel's name");
        return false;
    }
    const QString info = line.mid(entryTag.size(), comma - entryTag.size());
    static const QRegularExpression duration(QStringLiteral("^\\s*(-?[0-9]+(\\.[0-9]+)?)"));
    const QRegularExpressionMatch durationMatch = duration.match(info);
    if (!durationMatch.hasMatch()) {
        *fault = QStringLiteral("#EXTINF does not start with a duration");
        return false;
    }
    const QHash<QString, QString> attributes = attributesOf(info.mid(durationMatch.capturedEnd()), fault);
    if (!fault->isEmpty())
        return false;
    const QString title = line.mid(comma + 1).trimmed();
    channel->name = attributes.value(QStringLiteral("tvg-name"), title).trimmed();
    if (channel->name.isEmpty())
        channel->name = title;
    channel->number = attributes.value(QStringLiteral("tvg-chno")).trimmed();
    channel->logo = attributes.value(QStringLiteral("tvg-logo"));
    channel->group = attributes.value(QStringLiteral("group-title"));
    const QString keys = attributes.value(QStringLiteral("tavo-keys")).simplified();
    channel->keys = keys.isEmpty() ? QStringList() : keys.split(QLatin1Char(' '));
    return true;
}

QString quoted(QString value)
{
    // A quote would end the attribute early; the format has no escape for it.
    return QLatin1Char('"') + value.replace(QLatin1Char('"'), QLatin1Char('\'')) + QLatin1Char('"');
}

} // namespace

QList<TAVO_mgr_channel> TAVO_mgr_playlist::read(const QByteArray &text, QStringList *errors)
{
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    QList<TAVO_mgr_channel> channels;
    QList<int> lineOfChannel;
    bool headerSeen = false;
    bool awaitingUrl = false;
    int entryLine = 0;
    auto fault = [errors](int lineNumber, const QString &message) {
        errors->append(QStringLiteral("Line %1: %2").arg(lineNumber).arg(message));
    };
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNumber = index + 1;
        QString line = lines.at(index);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (index == 0 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.size() > maxLineLength) {
            fault(lineNumber, QStringLiteral("longer than %1 characters").arg(maxLineLength));
            continue;
        }
        if (TAVO_mgr_lineText::hasControlCharacters(line) || line.contains(QChar::ReplacementCharacter)) {
            fault(lineNumber, QStringLiteral("holds control characters or is not UTF-8"));
            continue;
        }
        if (!headerSeen) {
            headerSeen = true;
            if (!line.startsWith(header)) {
                fault(lineNumber, QStringLiteral("a playlist starts with #EXTM3U"));
                break;
            }
            continue;
        }
        if (line.startsWith(entryTag)) {
            if (awaitingUrl)
                fault(entryLine, QStringLiteral("#EXTINF is not followed by the entry's URL"));
            TAVO_mgr_channel channel;
            QString message;
            awaitingUrl = true;
            entryLine = lineNumber;
            if (!channelFromEntry(line, &channel, &message)) {
                fault(lineNumber, message);
                continue;
            }
            channels << channel;
            lineOfChannel << lineNumber;
            // Past the bound the rule refuses the list: nothing more is worth reading.
            if (channels.size() > TAVO_mgr_channelList::maxChannels)
                break;
        } else if (line.startsWith(QLatin1Char('#'))) {
            continue;  // other tags (#EXTGRP, #EXTVLCOPT, comments) say nothing the list keeps
        } else if (awaitingUrl) {
            awaitingUrl = false;
        } else {
            fault(lineNumber, QStringLiteral("a URL without an #EXTINF line before it"));
        }
    }
    if (!headerSeen)
        fault(1, QStringLiteral("the playlist is empty"));
    else if (awaitingUrl && channels.size() <= TAVO_mgr_channelList::maxChannels)
        fault(entryLine, QStringLiteral("#EXTINF is not followed by the entry's URL"));
    *errors << TAVO_mgr_channelList::faultsOf(
        channels, [&lineOfChannel](int index) { return QStringLiteral("Line %1").arg(lineOfChannel.at(index)); });
    if (!errors->isEmpty())
        return {};
    return channels;
}

QByteArray TAVO_mgr_playlist::write(const QList<TAVO_mgr_channel> &channels, const EntryUrl &entryUrl,
                                    QStringList *faults)
{
    // What the rule refuses could break a line of the playlist; nothing of it is written.
    *faults = TAVO_mgr_channelList::faultsOf(channels, [&channels](int index) {
        return QStringLiteral("Channel %1").arg(channels.at(index).number.left(20));
    });
    QString text = header + QLatin1Char('\n');
    for (const TAVO_mgr_channel &channel : channels) {
        const std::optional<QString> url = entryUrl(channel);
        if (!url || url->isEmpty() || TAVO_mgr_lineText::hasControlCharacters(*url)) {
            *faults << QStringLiteral("Channel %1: its entry cannot be written as one line").arg(channel.number.left(20));
            continue;
        }
        text += entryTag + QLatin1String("-1 tvg-chno=") + quoted(channel.number) + QLatin1String(" tvg-name=")
                + quoted(channel.name);
        if (!channel.logo.isEmpty())
            text += QLatin1String(" tvg-logo=") + quoted(channel.logo);
        if (!channel.group.isEmpty())
            text += QLatin1String(" group-title=") + quoted(channel.group);
        if (!channel.keys.isEmpty())
            text += QLatin1String(" tavo-keys=") + quoted(channel.keys.join(QLatin1Char(' ')));
        text += QLatin1Char(',') + channel.name + QLatin1Char('\n');
        text += *url + QLatin1Char('\n');
    }
    if (!faults->isEmpty())
        return {};
    return text.toUtf8();
}

// TV servers split a pipe source's command at its spaces; an argument in double quotes is one,
// with a backslash before a backslash. Arguments of plain characters (a UDN as boxes make them,
// a number, an installed path) go bare, as every such server takes them. A double quote or a
// control character has no writing every server reads alike: such an argument is refused.
std::optional<QString> TAVO_mgr_playlist::commandArgument(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=@%+,-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    if (argument.isEmpty() || argument.contains(QLatin1Char('"')) || TAVO_mgr_lineText::hasControlCharacters(argument))
        return std::nullopt;
    QString escaped = argument;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

TAVO_mgr_playlist::EntryUrl TAVO_mgr_playlist::recordingCommand(const QString &recorder, const QString &udn,
                                                               const TAVO_mgr_channelList &list)
{
    return [recorder, udn, list](const TAVO_mgr_channel &channel) -> std::optional<QString> {
        QStringList arguments;
        for (const QString &argument : {recorder, QStringLiteral("--box"), udn, QStringLiteral("--keys"),
                                        list.keysFor(channel).join(QLatin1Char(',')), QStringLiteral("--channel"),
                                        channel.number, QStringLiteral("--output"), QStringLiteral("-")}) {
            const std::optional<QString> written = commandArgument(argument);
            if (!written)
                return std::nullopt;
            arguments << *written;
        }
        return QLatin1String("pipe://") + arguments.join(QLatin1Char(' '));
    };
}
