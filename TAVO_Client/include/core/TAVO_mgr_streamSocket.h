#ifndef TAVO_MGR_STREAMSOCKET_H
#define TAVO_MGR_STREAMSOCKET_H

#include "TAVO_mgr_streamFailure.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <QTcpSocket>
class TAVO_mgr_streamTap;

// Sends one reader's share of a box's stream to an HTTP client: the answer's header once the
// stream's first packets are there, then the packets as they come, until the client goes or the
// box's stream ends. A client that takes less than the stream brings is dropped once it has
// fallen `backlogLimitBytes` behind: it never holds the box or the other readers.
class TAVO_mgr_streamSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 backlogLimitBytes = 8 * 1024 * 1024;

    // Takes over `socket` and `tap`.
    TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, QObject *parent = nullptr);

    bool hasStarted() const { return answered; }
    qint64 bytesSent() const { return sent; }

Q_SIGNALS:
    // The client went, was dropped or the stream ended; `failure` says why the stream never came,
    // when it never did. The object deletes itself.
    void finished(const TAVO_mgr_streamFailure &failure);

private:
    void send(const QByteArray &packets);
    void finish(const TAVO_mgr_streamFailure &failure);

    QPointer<QTcpSocket> socket;
    TAVO_mgr_streamTap *tap;
    bool answered = false;
    bool done = false;
    qint64 sent = 0;
};

#endif
