#include "TAVO_mgr_keyFailures.h"

#include "TAVO_mgr_mainManager.h"

#include <QUrlQuery>

TAVO_mgr_keyFailures::TAVO_mgr_keyFailures(TAVO_mgr_mainManager *registry, QObject *parent)
    : QObject(parent)
    , registry(registry)
{
}

void TAVO_mgr_keyFailures::failed(const QUrl &command, TAVO_mgr_httpRequest::Failure failure)
{
    const QString box = boxName(command);
    const QString thisBurst = box + QLatin1Char('\n') + QString::number(int(failure));
    const bool sameBurst = thisBurst == burst && !sinceLastFailure.hasExpired(burstGapMs);
    sinceLastFailure.start();
    if (sameBurst)
        return;
    burst = thisBurst;
    Q_EMIT report(text(box, QUrlQuery(command).queryItemValue(QStringLiteral("key")), failure));
}

void TAVO_mgr_keyFailures::answered()
{
    burst.clear();
}

// The name of the box whose key service the command went to; its address when no listed box
// has that service.
QString TAVO_mgr_keyFailures::boxName(const QUrl &command) const
{
    const QString port = QString::number(command.port(80));
    for (int index = 0; index < registry->getServerCount(); ++index) {
        const TAVO_SERVER *server = registry->getServer(index);
        if (server->host == command.host() && server->tavoStreamer.rcuPort == port)
            return server->device.friendlyName;
    }
    return command.host();
}

QString TAVO_mgr_keyFailures::text(const QString &box, const QString &key, TAVO_mgr_httpRequest::Failure failure)
{
    switch (failure) {
    case TAVO_mgr_httpRequest::Failure::NoAnswer:
        return QStringLiteral("%1 did not answer the key %2").arg(box, key);
    case TAVO_mgr_httpRequest::Failure::Refused:
        return QStringLiteral("%1 refused the connection for the key %2: its key service is not running").arg(box, key);
    case TAVO_mgr_httpRequest::Failure::Unreachable:
        break;
    }
    return QStringLiteral("%1 could not be reached with the key %2").arg(box, key);
}
