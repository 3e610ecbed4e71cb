#include "TAVO_mgr_rcuFetch.h"

#include "TAVO_mgr_keyCommand.h"
#include "TAVO_mgr_rcuDescription.h"

#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

TAVO_mgr_rcuFetch::TAVO_mgr_rcuFetch(const TAVO_SERVER &server, QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , server(server)
    , network(network)
{
}

void TAVO_mgr_rcuFetch::start()
{
    const QUrl description(QLatin1String("http://") + server.host + QLatin1Char(':') + server.port
                           + server.tavoStreamer.streamerSource[0].remoteControllerURL);
    QNetworkReply *reply = network->get(QNetworkRequest(description));
    connect(reply, &QNetworkReply::downloadProgress, reply, [this, reply](qint64 received) {
        if (received <= limitBytes)
            return;
        cutShort = QStringLiteral("it is longer than %1 KiB").arg(limitBytes / 1024);
        reply->abort();
    });
    QTimer::singleShot(timeLimitMs, reply, [this, reply] {
        cutShort = QStringLiteral("it did not come within %1 s").arg(timeLimitMs / 1000);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

void TAVO_mgr_rcuFetch::finished(QNetworkReply *reply)
{
    reply->deleteLater();
    QDomDocument document;
    if (reply->error() != QNetworkReply::NoError || !document.setContent(reply->readAll())) {
        Q_EMIT refused(QStringLiteral("cannot read the box's remote-controller description: %1")
                           .arg(cutShort.isEmpty() ? reply->errorString() : cutShort));
        return;
    }
    TAVO_KEYS description;
    const int parsed = TAVO_mgr_rcuDescription::read(document.documentElement(), description);
    const int controllers = TAVO_mgr_rcuDescription::usableControllers(description, parsed);
    if (controllers == 0) {
        Q_EMIT refused(QStringLiteral("the box's remote-controller description offers no controller"));
        return;
    }
    Controller chosen;
    chosen.keys = description.keys[TAVO_mgr_rcuDescription::defaultController(description, controllers)];
    chosen.commandPrefix = TAVO_mgr_keyCommand::prefix(server.host, server.tavoStreamer.rcuPort, description.version,
                                                       chosen.keys.keyId);
    if (chosen.commandPrefix.isEmpty()) {
        Q_EMIT refused(QStringLiteral("the box names no port for its key commands"));
        return;
    }
    Q_EMIT read(chosen);
}
