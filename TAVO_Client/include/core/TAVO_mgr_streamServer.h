#ifndef TAVO_MGR_STREAMSERVER_H
#define TAVO_MGR_STREAMSERVER_H

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_clientLimit.h"
#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_streamFailure.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// Hands a box's stream, as the program's one reader of it gives it (TAVO_mgr_boxStream), to a
// player in this program over HTTP on the loopback address, so that the player reads it as it
// would read the box. Each box gets an address with a random path: another user of the machine
// cannot guess it, and so cannot watch what the box sends (an encrypted box's stream arrives here
// decrypted).
class TAVO_mgr_streamServer : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 requestLimitBytes = 8 * 1024;
    static constexpr int requestTimeLimitMs = 10000;
    // Only this program's player reads here, a box or two at a time: a few connections are
    // plenty, and more are refused at once.
    static constexpr int connectionLimit = 8;

    // The program's server, listening from its first use.
    static TAVO_mgr_streamServer *instance();

    // The address a player reads `server`'s box's stream at, with its clock as `clock` says;
    // empty when the box names no stream or the server cannot listen.
    QString urlFor(const TAVO_SERVER &server, TAVO_mgr_streamTap::Clock clock = TAVO_mgr_streamTap::Clock::AsSent);
    // Why the last reading of `url` got no stream; empty when it did, or was never read.
    TAVO_mgr_streamFailure failureOf(const QString &url) const;

private:
    TAVO_mgr_streamServer();
    void clientArrived();
    void requestArrived(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &status);

    QTcpServer listener;
    QHash<QString, TAVO_SERVER> boxes;  // path → box
    QHash<QString, TAVO_mgr_streamFailure> failures;  // path → why its last reading failed
    TAVO_mgr_clientLimit clients{connectionLimit};
};

#endif
