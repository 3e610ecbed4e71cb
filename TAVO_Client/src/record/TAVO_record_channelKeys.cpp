#include "TAVO_record_channelKeys.h"

#include <QDomDocument>
#include <QTimer>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>
#include <QUrlQuery>

TAVO_record_channelKeys::TAVO_record_channelKeys(const TAVO_SERVER &server, QObject *parent)
    : QObject(parent)
    , server(server)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QStringList TAVO_record_channelKeys::keysFor(const TAVO_mgr_channelList &list, const QString &channel)
{
    for (const TAVO_mgr_channel &known : list.channels) {
        if (known.number == channel || known.name.compare(channel, Qt::CaseInsensitive) == 0)
            return list.keysFor(known);
    }
    if (!TAVO_mgr_channelList::isChannelNumber(channel))
        return {};
    TAVO_mgr_channel typed;
    typed.number = channel;
    return list.keysFor(typed);
}

void TAVO_record_channelKeys::tune(const QString &channel)
{
    QString listFault;
    const TAVO_mgr_channelList list = TAVO_mgr_channelList::load(server.device.UDN, &listFault);
    if (!listFault.isEmpty()) {
        QTimer::singleShot(0, this, [this, listFault] { Q_EMIT refused(listFault); });
        return;
    }
    keys = keysFor(list, channel);
    pauseMs = list.pauseMs;
    if (keys.isEmpty()) {
        QTimer::singleShot(0, this, [this, channel] {
            Q_EMIT refused(QStringLiteral("the box's channel list has no channel %1").arg(channel));
        });
        return;
    }
    const QUrl description(QLatin1String("http://") + server.host + QLatin1Char(':') + server.port
                           + server.tavoStreamer.streamerSource[0].remoteControllerURL);
    QNetworkReply *reply = network.get(QNetworkRequest(description));
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > controllerLimitBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { controllerRead(reply); });
}

// The key command names the description's version and the default controller (the first one
// when the box names none).
void TAVO_record_channelKeys::controllerRead(QNetworkReply *reply)
{
    reply->deleteLater();
    QDomDocument document;
    if (reply->error() != QNetworkReply::NoError || !document.setContent(reply->readAll())) {
        Q_EMIT refused(QStringLiteral("cannot read the box's remote-controller description: %1").arg(reply->errorString()));
        return;
    }
    const QDomElement root = document.documentElement();
    version = root.attribute(QStringLiteral("version"));
    controllerId = root.firstChildElement(QStringLiteral("defaultId")).text();
    if (controllerId.isEmpty())
        controllerId = root.firstChildElement(QStringLiteral("remoteController")).firstChildElement(QStringLiteral("id")).text();
    // A key the controller does not have is refused here, as the window refuses it, and not
    // sent for the box to ignore.
    const QString supported = supportedKeys(root, controllerId);
    for (const QString &key : std::as_const(keys)) {
        if (!supported.contains(key, Qt::CaseSensitive)) {
            Q_EMIT refused(QStringLiteral("the box's remote controller %1 has no key %2").arg(controllerId.left(40), key));
            return;
        }
    }
    sendNextKey();
}

// The keys the controller names, as the window reads them: a key is supported when its name
// occurs in the list.
QString TAVO_record_channelKeys::supportedKeys(const QDomElement &root, const QString &controllerId)
{
    for (QDomElement controller = root.firstChildElement(QStringLiteral("remoteController")); !controller.isNull();
         controller = controller.nextSiblingElement(QStringLiteral("remoteController"))) {
        if (controller.firstChildElement(QStringLiteral("id")).text() == controllerId)
            return controller.firstChildElement(QStringLiteral("supportKeys")).text();
    }
    return QString();
}

void TAVO_record_channelKeys::sendNextKey()
{
    if (keys.isEmpty()) {
        Q_EMIT tuned();
        return;
    }
    const QString key = keys.takeFirst();
    // The version and id are the box's own text: each stays one value of the query.
    QUrlQuery query;
    query.setQueryItems({{QStringLiteral("src"), QStringLiteral("1")}, {QStringLiteral("ver"), version},
                         {QStringLiteral("id"), controllerId}, {QStringLiteral("key"), key}});
    QUrl command(QLatin1String("http://") + server.host + QLatin1Char(':') + server.tavoStreamer.rcuPort + QLatin1Char('/'));
    command.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    QNetworkReply *reply = network.get(QNetworkRequest(command));
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            Q_EMIT refused(QStringLiteral("the box refused the key %1 (%2)")
                               .arg(key, status ? QString::number(status) : reply->errorString()));
            return;
        }
        // A box behind infra-red misses keys that come too close to each other.
        QTimer::singleShot(keys.isEmpty() ? 0 : pauseMs, this, &TAVO_record_channelKeys::sendNextKey);
    });
}
