#include "TAVO_mgr_channelKeys.h"

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_keyCommand.h"
#include "TAVO_mgr_rcuDescription.h"

#include <QDomDocument>
#include <QTimer>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

TAVO_mgr_channelKeys::TAVO_mgr_channelKeys(const TAVO_SERVER &server, QObject *parent)
    : QObject(parent)
    , server(server)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(&sender, &TAVO_mgr_keySender::answered, this, [this](const QUrl &, int status) { keyAnswered(status); });
    connect(&sender, &TAVO_mgr_keySender::failed, this,
            [this](const QUrl &, TAVO_mgr_keySender::Failure, const QString &why) { keyFailed(why); });
}

void TAVO_mgr_channelKeys::tune(const QString &channel, Asked asked)
{
    QString listFault;
    const TAVO_mgr_channelList list = TAVO_mgr_channelList::load(server.device.UDN, &listFault);
    if (!listFault.isEmpty()) {
        QTimer::singleShot(0, this, [this, listFault] { Q_EMIT refused(listFault); });
        return;
    }
    keys = asked == Asked::ByNumber ? list.keysForNumber(channel) : list.keysFor(channel);
    pauseMs = list.pauseMs;
    if (keys.isEmpty()) {
        QTimer::singleShot(0, this, [this, channel] {
            Q_EMIT refused(QStringLiteral("the box's channel list has no channel %1").arg(channel));
        });
        return;
    }
    fetchController();
}

void TAVO_mgr_channelKeys::tuneByKeys(const QStringList &given)
{
    QString listFault;
    const TAVO_mgr_channelList list = TAVO_mgr_channelList::load(server.device.UDN, &listFault);
    keys = given;
    pauseMs = listFault.isEmpty() ? list.pauseMs : TAVO_mgr_channelList::defaultPauseMs;
    fetchController();
}

// Read within a bound of bytes and of time: a box that sends without end, or nothing, is refused.
void TAVO_mgr_channelKeys::fetchController()
{
    const QUrl description(QLatin1String("http://") + server.host + QLatin1Char(':') + server.port
                           + server.tavoStreamer.streamerSource[0].remoteControllerURL);
    QNetworkReply *reply = network.get(QNetworkRequest(description));
    connect(reply, &QNetworkReply::downloadProgress, reply, [this, reply](qint64 received) {
        if (received <= controllerLimitBytes)
            return;
        controllerCutShort = QStringLiteral("it is longer than %1 KiB").arg(controllerLimitBytes / 1024);
        reply->abort();
    });
    QTimer::singleShot(controllerTimeLimitMs, reply, [this, reply] {
        controllerCutShort = QStringLiteral("it did not come within %1 s").arg(controllerTimeLimitMs / 1000);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { controllerRead(reply); });
}

void TAVO_mgr_channelKeys::controllerRead(QNetworkReply *reply)
{
    reply->deleteLater();
    QDomDocument document;
    if (reply->error() != QNetworkReply::NoError || !document.setContent(reply->readAll())) {
        Q_EMIT refused(QStringLiteral("cannot read the box's remote-controller description: %1")
                           .arg(controllerCutShort.isEmpty() ? reply->errorString() : controllerCutShort));
        return;
    }
    TAVO_KEYS description;
    const int parsed = TAVO_mgr_rcuDescription::read(document.documentElement(), description);
    const QString refusal = refusalOf(description, TAVO_mgr_rcuDescription::usableControllers(description, parsed));
    if (!refusal.isEmpty()) {
        Q_EMIT refused(refusal);
        return;
    }
    sendNextKey();
}

// Why the keys cannot go to the box's default controller, or an empty text once their command
// is known. A key the controller does not have is refused here, as the window's panel keeps its
// button disabled, and not sent for the box to ignore.
QString TAVO_mgr_channelKeys::refusalOf(const TAVO_KEYS &description, int controllers)
{
    if (controllers == 0)
        return QStringLiteral("the box's remote-controller description offers no controller");
    const TAVO_KEY &controller = description.keys[TAVO_mgr_rcuDescription::defaultController(description, controllers)];
    for (const QString &key : std::as_const(keys)) {
        if (!TAVO_mgr_rcuDescription::hasKey(controller, key))
            return QStringLiteral("the box's remote controller %1 has no key %2").arg(controller.keyId.left(40), key);
    }
    commandPrefix = TAVO_mgr_keyCommand::prefix(server.host, server.tavoStreamer.rcuPort, description.version,
                                                controller.keyId);
    if (commandPrefix.isEmpty())
        return QStringLiteral("the box names no port for its key commands");
    return QString();
}

void TAVO_mgr_channelKeys::sendNextKey()
{
    if (keys.isEmpty()) {
        Q_EMIT tuned();
        return;
    }
    sentKey = keys.takeFirst();
    sender.send(TAVO_mgr_keyCommand::url(commandPrefix, sentKey));
}

void TAVO_mgr_channelKeys::keyAnswered(int status)
{
    if (status != TAVO_mgr_keySender::statusOk) {
        const QString words = TAVO_mgr_keySender::refusalText(status);
        Q_EMIT refused(QStringLiteral("the box refused the key %1 (%2%3)")
                           .arg(sentKey, QString::number(status), words.isEmpty() ? QString() : QLatin1String(" ") + words));
        return;
    }
    // A box behind infra-red misses keys that come too close to each other.
    QTimer::singleShot(keys.isEmpty() ? 0 : pauseMs, this, &TAVO_mgr_channelKeys::sendNextKey);
}

void TAVO_mgr_channelKeys::keyFailed(const QString &why)
{
    Q_EMIT refused(QStringLiteral("the box refused the key %1 (%2)").arg(sentKey, why));
}
