#include "TAVO_mgr_channelList.h"

#include "TAVO_mgr_lineText.h"
#include "TAVO_mgr_playlist.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcChannelList, "tavo.mgr.channels", QtInfoMsg)

namespace {

// A list larger than this is no list a person keeps; its file is not read.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

QStringList stringsOf(const QJsonArray &array)
{
    QStringList strings;
    for (const QJsonValue &value : array)
        strings << value.toString();
    return strings;
}

TAVO_mgr_channel channelFrom(const QJsonObject &object)
{
    TAVO_mgr_channel channel;
    channel.name = object.value(QLatin1String("name")).toString();
    channel.number = object.value(QLatin1String("number")).toString();
    channel.logo = object.value(QLatin1String("logo")).toString();
    channel.group = object.value(QLatin1String("group")).toString();
    channel.keys = stringsOf(object.value(QLatin1String("keys")).toArray());
    return channel;
}

// "Row 2" as the end of a sentence: "row 2".
QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

QJsonObject objectOf(const TAVO_mgr_channel &channel)
{
    QJsonObject object{{QLatin1String("name"), channel.name}, {QLatin1String("number"), channel.number}};
    if (!channel.logo.isEmpty())
        object.insert(QLatin1String("logo"), channel.logo);
    if (!channel.group.isEmpty())
        object.insert(QLatin1String("group"), channel.group);
    if (!channel.keys.isEmpty())
        object.insert(QLatin1String("keys"), QJsonArray::fromStringList(channel.keys));
    return object;
}

} // namespace

QString TAVO_mgr_channelList::filePath(const QString &udn)
{
    // The UDN comes from the network: only its safe characters may name a file.
    QString stem = udn;
    stem.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    // The client's own data folder (AppDataLocation of the program "TAVO_Client"), named here so
    // that other programs (a recorder) find the same lists whatever their own name.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder + QLatin1String("/TAVO_Client/channels/") + stem + QLatin1String(".json");
}

TAVO_mgr_channelList TAVO_mgr_channelList::load(const QString &udn, QString *error)
{
    TAVO_mgr_channelList list;
    QFile file(filePath(udn));
    if (!file.exists())
        return list;
    const auto refuse = [&](const QString &why) {
        qCDebug(lcChannelList).noquote() << "Channel list" << file.fileName() << "refused:" << why;
        if (error)
            *error = QStringLiteral("%1: %2").arg(file.fileName(), why);
        return TAVO_mgr_channelList();
    };
    if (file.size() > maxFileBytes)
        return refuse(QStringLiteral("larger than %1 bytes").arg(maxFileBytes));
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &parseError).object();
    if (parseError.error != QJsonParseError::NoError)
        return refuse(parseError.errorString());
    const QString confirmKey = root.value(QLatin1String("confirmKey")).toString();
    if (confirmKey.isEmpty() || isKeyName(confirmKey))
        list.confirmKey = confirmKey;
    list.pauseMs = qBound(0, root.value(QLatin1String("pauseMs")).toInt(defaultPauseMs), maxPauseMs);
    for (auto [field, key] : {std::pair{&list.lastNumber, "lastNumber"}, std::pair{&list.previousNumber, "previousNumber"}}) {
        const QString number = root.value(QLatin1String(key)).toString();
        if (isChannelNumber(number))
            *field = number;
    }
    for (const QJsonValue &value : root.value(QLatin1String("channels")).toArray())
        list.channels << channelFrom(value.toObject());
    const QStringList faults = faultsOf(list.channels, [](int index) { return QStringLiteral("Channel %1").arg(index + 1); });
    if (!faults.isEmpty())
        return refuse(faults.join(QLatin1String("; ")));
    return list;
}

bool TAVO_mgr_channelList::save(const QString &udn, QString *error) const
{
    QJsonArray array;
    for (const TAVO_mgr_channel &channel : channels)
        array.append(objectOf(channel));
    const QJsonObject root{{QLatin1String("confirmKey"), confirmKey},
                           {QLatin1String("pauseMs"), pauseMs},
                           {QLatin1String("lastNumber"), lastNumber},
                           {QLatin1String("previousNumber"), previousNumber},
                           {QLatin1String("channels"), array}};
    const QString path = filePath(udn);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool TAVO_mgr_channelList::importPlaylist(const QByteArray &playlist, QStringList *errors)
{
    const QList<TAVO_mgr_channel> read = TAVO_mgr_playlist::read(playlist, errors);
    if (!errors->isEmpty())
        return false;
    channels = read;
    return true;
}

void TAVO_mgr_channelList::remember(const QString &number)
{
    if (number == lastNumber)
        return;
    previousNumber = lastNumber;
    lastNumber = number;
}

QStringList TAVO_mgr_channelList::keysFor(const TAVO_mgr_channel &channel) const
{
    if (!channel.keys.isEmpty())
        return channel.keys;
    QStringList keys;
    for (const QChar digit : channel.number)
        keys << QLatin1String("NUM_") + digit;
    if (!confirmKey.isEmpty())
        keys << confirmKey;
    return keys;
}

// A number in the list wins over a name: a channel named "10" never stands for channel 10.
QStringList TAVO_mgr_channelList::keysFor(const QString &numberOrName) const
{
    if (byNumber(numberOrName))
        return keysForNumber(numberOrName);
    const auto named = std::find_if(channels.cbegin(), channels.cend(), [&](const TAVO_mgr_channel &known) {
        return known.name.compare(numberOrName, Qt::CaseInsensitive) == 0;
    });
    return named != channels.cend() ? keysFor(*named) : keysForNumber(numberOrName);
}

QStringList TAVO_mgr_channelList::keysForNumber(const QString &number) const
{
    if (const TAVO_mgr_channel *known = byNumber(number))
        return keysFor(*known);
    if (!isChannelNumber(number))
        return {};
    return keysFor(TAVO_mgr_channel{QString(), number, QString(), QString(), QStringList()});
}

const TAVO_mgr_channel *TAVO_mgr_channelList::byNumber(const QString &number) const
{
    for (const TAVO_mgr_channel &channel : channels) {
        if (channel.number == number)
            return &channel;
    }
    return nullptr;
}

QString TAVO_mgr_channelList::faultOf(const TAVO_mgr_channel &channel)
{
    const auto badKey = std::find_if_not(channel.keys.cbegin(), channel.keys.cend(), isKeyName);
    if (!isChannelNumber(channel.number))
        return QStringLiteral("the number must be 1 to %1 digits, not \"%2\"").arg(maxNumberDigits).arg(channel.number.left(20));
    if (channel.name.trimmed().isEmpty())
        return QStringLiteral("the channel has no name");
    if (badKey != channel.keys.cend())
        return QStringLiteral("\"%1\" is no key name of a remote (such as NUM_1 or OK)").arg(badKey->left(40));
    if (channel.keys.size() > maxKeys)
        return QStringLiteral("more than %1 keys").arg(maxKeys);
    for (const QString *field : {&channel.name, &channel.group, &channel.logo}) {
        // Every field may become a line of a playlist: a line break in it would add lines.
        if (TAVO_mgr_lineText::hasControlCharacters(*field))
            return QStringLiteral("the name, group or logo holds a control character");
        if (field->size() > maxFieldLength)
            return QStringLiteral("the name, group or logo is longer than %1 characters").arg(maxFieldLength);
    }
    return {};
}

QStringList TAVO_mgr_channelList::faultsOf(const QList<TAVO_mgr_channel> &channels,
                                           const std::function<QString(int)> &where)
{
    QStringList faults;
    if (channels.size() > maxChannels)
        return {QStringLiteral("%1: more than %2 channels").arg(where(maxChannels)).arg(maxChannels)};
    QHash<QString, int> indexOfNumber;
    for (int index = 0; index < channels.size(); ++index) {
        const TAVO_mgr_channel &channel = channels.at(index);
        const QString fault = faultOf(channel);
        if (!fault.isEmpty())
            faults << where(index) + QLatin1String(": ") + fault;
        else if (indexOfNumber.contains(channel.number))
            faults << QStringLiteral("%1: channel number %2 is already given on %3")
                          .arg(where(index), channel.number, lowerFirst(where(indexOfNumber.value(channel.number))));
        else
            indexOfNumber.insert(channel.number, index);
    }
    return faults;
}

bool TAVO_mgr_channelList::isChannelNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,%1}$").arg(maxNumberDigits));
    return digits.match(text).hasMatch();
}

// Key names are the remote's own (upper case, digits and underscores), never arbitrary text
// that would travel into a key command's URL.
bool TAVO_mgr_channelList::isKeyName(const QString &text)
{
    static const QRegularExpression name(QStringLiteral("^[A-Z][A-Z0-9_]{0,31}$"));
    return name.match(text).hasMatch();
}
