#include "TAVO_mgr_channelKeys.h"

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_keyCommand.h"
#include "TAVO_mgr_rcuFetch.h"
#include "TAVO_mgr_rcuDescription.h"

#include <QTimer>
#include <QNetworkProxy>
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

void TAVO_mgr_channelKeys::fetchController()
{
    auto *fetch = new TAVO_mgr_rcuFetch(server, &network, this);
    connect(fetch, &TAVO_mgr_rcuFetch::read, this, [this, fetch](const TAVO_mgr_rcuFetch::Controller &controller) {
        fetch->deleteLater();
        controllerRead(controller);
    });
    connect(fetch, &TAVO_mgr_rcuFetch::refused, this, [this, fetch](const QString &reason) {
        fetch->deleteLater();
        Q_EMIT refused(reason);
    });
    fetch->start();
}

// A key the controller does not have is refused here, as the window's panel keeps its button
// disabled, and not sent for the box to ignore.
void TAVO_mgr_channelKeys::controllerRead(const TAVO_mgr_rcuFetch::Controller &controller)
{
    for (const QString &key : std::as_const(keys)) {
        if (!TAVO_mgr_rcuDescription::hasKey(controller.keys, key)) {
            Q_EMIT refused(QStringLiteral("the box's remote controller %1 has no key %2").arg(controller.keys.keyId.left(40), key));
            return;
        }
    }
    commandPrefix = controller.commandPrefix;
    sendNextKey();
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
