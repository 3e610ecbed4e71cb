#include "TAVO_tuner_lineup.h"

#include "TAVO_mgr_streamRequest.h"

#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTunerLineup, "tavo.tuner.lineup", QtInfoMsg)

void TAVO_tuner_lineup::add(const TAVO_SERVER &server)
{
    const QString id = idOf(server.device.UDN);
    if (id.isEmpty()) {
        qCWarning(lcTunerLineup) << "Leaving out a box whose UDN cannot name it in a URL:"
                                 << server.device.UDN.left(80);
        return;
    }
    if (!servers.contains(id) && servers.size() >= boxLimit)
        return;
    qCDebug(lcTunerLineup) << "Serving" << server.device.friendlyName << id << "at" << server.host;
    servers.insert(id, server);
}

QList<TAVO_tuner_box> TAVO_tuner_lineup::boxes() const
{
    QList<TAVO_tuner_box> all;
    for (const TAVO_SERVER &server : servers)
        all.append(withList(server));
    std::sort(all.begin(), all.end(), [](const TAVO_tuner_box &a, const TAVO_tuner_box &b) {
        const int byName = a.name().compare(b.name(), Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    return all;
}

bool TAVO_tuner_lineup::box(const QString &id, TAVO_tuner_box *found) const
{
    const auto server = servers.constFind(id);
    if (server == servers.cend())
        return false;
    *found = withList(*server);
    return true;
}

QList<TAVO_tuner_box> TAVO_tuner_lineup::poolFor(const QList<TAVO_tuner_box> &boxes, const QString &number)
{
    QList<TAVO_tuner_box> pool = boxes;
    const QString first = firstPoolWith(pool, number);
    pool.removeIf([&](const TAVO_tuner_box &box) { return first.isEmpty() || box.pool != first; });
    return pool;
}

QString TAVO_tuner_lineup::firstPoolWith(const QList<TAVO_tuner_box> &boxes, const QString &number)
{
    const auto first = std::find_if(boxes.cbegin(), boxes.cend(),
                                    [&](const TAVO_tuner_box &box) { return box.list.byNumber(number) != nullptr; });
    return first == boxes.cend() ? QString() : first->pool;
}

QString TAVO_tuner_lineup::idOf(const QString &udn)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9-]{1,64}$"));
    return plain.match(udn).hasMatch() ? udn : QString();
}

QString TAVO_tuner_lineup::poolOf(const TAVO_mgr_channelList &list, const TAVO_mgr_streamSettings &settings)
{
    QStringList entries;
    for (const TAVO_mgr_channel &channel : list.channels)
        entries.append(channel.number + QLatin1Char('=') + list.keysFor(channel).join(QLatin1Char(',')));
    entries.sort();
    entries.append(settings.query());
    return QString::fromLatin1(
        QCryptographicHash::hash(entries.join(QLatin1Char(';')).toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

TAVO_tuner_box TAVO_tuner_lineup::withList(const TAVO_SERVER &server)
{
    TAVO_tuner_box box;
    box.server = server;
    box.id = idOf(server.device.UDN);
    QString fault;
    box.list = TAVO_mgr_channelList::load(server.device.UDN, &fault);
    if (!fault.isEmpty())
        qCWarning(lcTunerLineup) << "The channel list of" << server.device.friendlyName << "is refused:" << fault;
    box.settings = TAVO_mgr_streamSettings::forBox(server.device.UDN);
    box.pool = poolOf(box.list, box.settings);
    box.encrypted = TAVO_mgr_streamRequest::isEncrypted(server);
    return box;
}
