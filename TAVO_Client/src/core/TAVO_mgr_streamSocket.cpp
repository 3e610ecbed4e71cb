#include "TAVO_mgr_streamSocket.h"

#include "TAVO_mgr_boxStream.h"

#include <QLoggingCategory>
#include <QTcpSocket>

namespace {

Q_LOGGING_CATEGORY(lcStreamSocket, "tavo.core.stream.socket", QtWarningMsg)

const QByteArray streamHeader = "HTTP/1.1 200 OK\r\n"
                                "Content-Type: video/mp2t\r\n"
                                "Cache-Control: no-cache\r\n"
                                "Connection: close\r\n\r\n";

} // namespace

TAVO_mgr_streamSocket::TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, QObject *parent)
    : QObject(parent)
    , socket(socket)
    , tap(tap)
{
    socket->setParent(this);
    tap->setParent(this);
    connect(tap, &TAVO_mgr_streamTap::packets, this, &TAVO_mgr_streamSocket::send);
    connect(tap, &TAVO_mgr_streamTap::ended, this, &TAVO_mgr_streamSocket::finish);
    connect(socket, &QTcpSocket::disconnected, this, [this] { finish({}); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { finish({}); });
    // What the client sends after its request is not read; it must not pile up either.
    connect(socket, &QTcpSocket::readyRead, this, [this] { this->socket->skip(this->socket->bytesAvailable()); });
}

void TAVO_mgr_streamSocket::send(const QByteArray &packets)
{
    if (done || !socket)
        return;
    if (socket->bytesToWrite() > backlogLimitBytes) {
        qCDebug(lcStreamSocket) << "Dropping a client" << socket->peerAddress() << "that fell"
                                << socket->bytesToWrite() << "bytes behind";
        finish({});
        return;
    }
    if (!answered) {
        answered = true;
        socket->write(streamHeader);
    }
    socket->write(packets);
    sent += packets.size();
}

// A stream that never came is not answered at all: the client sees the connection closed, as it
// would have with the box.
void TAVO_mgr_streamSocket::finish(const TAVO_mgr_streamFailure &failure)
{
    if (done)
        return;
    done = true;
    tap->disconnect(this);
    if (socket) {
        socket->disconnect(this);
        socket->disconnectFromHost();
    }
    Q_EMIT finished(answered ? TAVO_mgr_streamFailure() : failure);
    deleteLater();
}
