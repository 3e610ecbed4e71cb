#include "TAVO_mgr_channelList.h"

#include "TAVO_mgr_playlist.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QFile>
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

bool isUsable(const TAVO_mgr_channel &channel)
{
    if (channel.name.trimmed().isEmpty() || !TAVO_mgr_channelList::isChannelNumber(channel.number))
        return false;
    return std::all_of(channel.keys.cbegin(), channel.keys.cend(), TAVO_mgr_channelList::isKeyName);
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

TAVO_mgr_channelList TAVO_mgr_channelList::load(const QString &udn)
{
    TAVO_mgr_channelList list;
    QFile file(filePath(udn));
    if (!file.exists() || file.size() > maxFileBytes || !file.open(QIODevice::ReadOnly))
        return list;
    QJsonParseError parseError;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &parseError).object();
    if (parseError.error != QJsonParseError::NoError) {
        qCDebug(lcChannelList).noquote() << "Channel list" << file.fileName() << "unreadable:" << parseError.errorString();
        return list;
    }
    const QString confirmKey = root.value(QLatin1String("confirmKey")).toString();
    if (confirmKey.isEmpty() || isKeyName(confirmKey))
        list.confirmKey = confirmKey;
    list.pauseMs = qBound(0, root.value(QLatin1String("pauseMs")).toInt(defaultPauseMs), maxPauseMs);
    for (auto [field, key] : {std::pair{&list.lastNumber, "lastNumber"}, std::pair{&list.previousNumber, "previousNumber"}}) {
        const QString number = root.value(QLatin1String(key)).toString();
        if (isChannelNumber(number))
            *field = number;
    }
    for (const QJsonValue &value : root.value(QLatin1String("channels")).toArray()) {
        const TAVO_mgr_channel channel = channelFrom(value.toObject());
        if (isUsable(channel))
            list.channels << channel;
        else
            qCDebug(lcChannelList).noquote() << "Channel list" << file.fileName() << "skips an unusable channel";
    }
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

const TAVO_mgr_channel *TAVO_mgr_channelList::byNumber(const QString &number) const
{
    for (const TAVO_mgr_channel &channel : channels) {
        if (channel.number == number)
            return &channel;
    }
    return nullptr;
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
