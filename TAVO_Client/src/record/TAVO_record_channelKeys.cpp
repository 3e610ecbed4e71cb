#include "TAVO_record_channelKeys.h"

#include <QDomDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

TAVO_record_channelKeys::TAVO_record_channelKeys(const TAVO_SERVER &server, QObject *parent)
    : QObject(parent)
    , server(server)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QStringList TAVO_record_channelKeys::keysFor(const QString &digits)
{
    QStringList keys;
    for (const QChar digit : digits)
        keys << QLatin1String("NUM_") + digit;
    return keys;
}

void TAVO_record_channelKeys::tune(const QString &digits)
{
    keys = keysFor(digits);
    const QUrl description(QLatin1String("http://") + server.host + QLatin1Char(':') + server.port
                           + server.tavoStreamer.streamerSource[0].remoteControllerURL);
    QNetworkReply *reply = network.get(QNetworkRequest(description));
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
    sendNextKey();
}

void TAVO_record_channelKeys::sendNextKey()
{
    if (keys.isEmpty()) {
        Q_EMIT tuned();
        return;
    }
    const QString key = keys.takeFirst();
    const QUrl command(QLatin1String("http://") + server.host + QLatin1Char(':') + server.tavoStreamer.rcuPort
                       + QLatin1String("/?src=1&ver=") + version + QLatin1String("&id=") + controllerId
                       + QLatin1String("&key=") + key);
    QNetworkReply *reply = network.get(QNetworkRequest(command));
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            Q_EMIT refused(QStringLiteral("the box refused the key %1 (%2)")
                               .arg(key, status ? QString::number(status) : reply->errorString()));
            return;
        }
        sendNextKey();
    });
}
