#include "TAVO_tuner_remote.h"

#include "TAVO_mgr_channelKeys.h"
#include "TAVO_mgr_keyCommand.h"
#include "TAVO_mgr_rcuDescription.h"
#include "TAVO_mgr_streamSocket.h"
#include "TAVO_tuner_request.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

constexpr char okJson[] = "{\"ok\":true}";

void reply(QTcpSocket *client, int status, const QByteArray &json)
{
    if (!client)
        return;
    client->write(TAVO_tuner_answer::whole(status, "application/json", json));
    TAVO_mgr_streamSocket::closeAfterSending(client);
}

} // namespace

TAVO_tuner_remote::TAVO_tuner_remote(const TAVO_tuner_box &box, QObject *parent)
    : QObject(parent)
    , box(box)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(&sender, &TAVO_mgr_keySender::answered, this, [this](const QUrl &, int status) { keyAnswered(status); });
    connect(&sender, &TAVO_mgr_keySender::failed, this,
            [this](const QUrl &, TAVO_mgr_keySender::Failure failure, const QString &) { keyFailed(failure); });
}

void TAVO_tuner_remote::follow(const TAVO_tuner_box &heard)
{
    const TAVO_SERVER &was = box.server;
    const TAVO_SERVER &is = heard.server;
    if (was.host != is.host || was.port != is.port || was.tavoStreamer.rcuPort != is.tavoStreamer.rcuPort
        || was.tavoStreamer.streamerSource[0].remoteControllerURL != is.tavoStreamer.streamerSource[0].remoteControllerURL)
        controller.reset();
    box = heard;
}

void TAVO_tuner_remote::describe(QTcpSocket *client)
{
    enqueue({Kind::Describe, {}, client});
}

void TAVO_tuner_remote::press(QTcpSocket *client, const QString &key)
{
    enqueue({Kind::Key, key, client});
}

void TAVO_tuner_remote::tune(QTcpSocket *client, const QString &number)
{
    enqueue({Kind::Channel, number, client});
}

QByteArray TAVO_tuner_remote::keysJson(const TAVO_KEY &controller)
{
    QJsonArray keys;
    for (const TAVO_KEY_FLAG &flag : tavoKeyFlags) {
        if (controller.*flag.flag)
            keys.append(QString::fromLatin1(flag.name));
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("controller"), controller.keyName.left(80)},
                                     {QStringLiteral("keys"), keys}})
        .toJson(QJsonDocument::Compact);
}

// The window shows a box's refusal as "Error Code : <status>" above the box's own words.
QByteArray TAVO_tuner_remote::refusalJson(const QString &text, int status)
{
    QJsonObject refusal{{QStringLiteral("refusal"), text}};
    if (status != 0)
        refusal.insert(QStringLiteral("title"), QStringLiteral("Error Code : ") + QString::number(status));
    return QJsonDocument(refusal).toJson(QJsonDocument::Compact);
}

void TAVO_tuner_remote::enqueue(Press press)
{
    if (waiting.size() >= waitingLimit) {
        reply(press.client, 503, refusalJson(QStringLiteral("%1 has %2 keys waiting already").arg(box.name()).arg(waitingLimit)));
        return;
    }
    waiting.enqueue(press);
    if (!current)
        next();
}

void TAVO_tuner_remote::next()
{
    current.reset();
    if (waiting.isEmpty())
        return;
    current = waiting.dequeue();
    // A key needs the controller; the description is read again when the page asks for it, and
    // after the box said its controller or version is no longer the one read.
    if (current->kind == Kind::Describe)
        controller.reset();
    withController([this] { carryOut(); });
}

void TAVO_tuner_remote::withController(const std::function<void()> &then)
{
    if (controller || current->kind == Kind::Channel) {
        then();
        return;
    }
    auto *fetch = new TAVO_mgr_rcuFetch(box.server, &network, this);
    connect(fetch, &TAVO_mgr_rcuFetch::read, this, [this, fetch, then](const TAVO_mgr_rcuFetch::Controller &read) {
        fetch->deleteLater();
        controller = read;
        then();
    });
    connect(fetch, &TAVO_mgr_rcuFetch::refused, this, [this, fetch](const QString &reason) {
        fetch->deleteLater();
        settle(refusalJson(reason));
    });
    fetch->start();
}

void TAVO_tuner_remote::carryOut()
{
    switch (current->kind) {
    case Kind::Describe:
        settle(keysJson(controller->keys));
        return;
    case Kind::Key:
        // As the window's panel keeps the button of a key its controller lacks disabled.
        if (!TAVO_mgr_rcuDescription::hasKey(controller->keys, current->value)) {
            settle(refusalJson(QStringLiteral("the box's remote controller %1 has no key %2")
                                   .arg(controller->keys.keyName.left(40), current->value)));
            return;
        }
        sender.send(TAVO_mgr_keyCommand::url(controller->commandPrefix, current->value));
        return;
    case Kind::Channel: {
        auto *keys = new TAVO_mgr_channelKeys(box.server, this);
        connect(keys, &TAVO_mgr_channelKeys::tuned, this, [this, keys] {
            keys->deleteLater();
            settle(okJson);
        });
        connect(keys, &TAVO_mgr_channelKeys::refused, this, [this, keys](const QString &reason) {
            keys->deleteLater();
            settle(refusalJson(reason));
        });
        keys->tune(current->value, TAVO_mgr_channelKeys::Asked::ByNumber);
        return;
    }
    }
}

void TAVO_tuner_remote::settle(const QByteArray &json)
{
    reply(current->client, 200, json);
    next();
}

void TAVO_tuner_remote::keyAnswered(int status)
{
    if (status == TAVO_mgr_keySender::statusOk) {
        settle(okJson);
        return;
    }
    // 432 Old RCU Version, 433 Incorrect RCU Id: the description read is no longer the box's.
    if (status == 432 || status == 433)
        controller.reset();
    const QString words = TAVO_mgr_keySender::refusalText(status);
    settle(refusalJson(words.isEmpty() ? QStringLiteral("%1 refused the key %2 (%3)").arg(box.name(), current->value).arg(status)
                                       : words,
                       status));
}

// The window's words for a key that did not reach the box.
void TAVO_tuner_remote::keyFailed(TAVO_mgr_keySender::Failure failure)
{
    const QString key = current->value;
    switch (failure) {
    case TAVO_mgr_keySender::Failure::NoAnswer:
        settle(refusalJson(QStringLiteral("%1 did not answer the key %2").arg(box.name(), key)));
        return;
    case TAVO_mgr_keySender::Failure::Refused:
        settle(refusalJson(QStringLiteral("%1 refused the connection for the key %2: its key service is not running").arg(box.name(), key)));
        return;
    case TAVO_mgr_keySender::Failure::Unreachable:
        break;
    }
    settle(refusalJson(QStringLiteral("%1 could not be reached with the key %2").arg(box.name(), key)));
}
