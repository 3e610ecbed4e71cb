#include "TAVO_mgr_streamServer.h"

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_streamRequest.h"
#include "TAVO_mgr_streamSocket.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

Q_LOGGING_CATEGORY(lcStreamServer, "tavo.core.stream.server", QtWarningMsg)

const char picturesClock[] = "?clock=pictures";

QString randomPath()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QLatin1Char('/') + QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex())
           + QLatin1String(".ts");
}

} // namespace

TAVO_mgr_streamServer *TAVO_mgr_streamServer::instance()
{
    static TAVO_mgr_streamServer *server = new TAVO_mgr_streamServer;
    return server;
}

TAVO_mgr_streamServer::TAVO_mgr_streamServer()
{
    setParent(QCoreApplication::instance());
    connect(&listener, &QTcpServer::newConnection, this, &TAVO_mgr_streamServer::clientArrived);
    listener.listen(QHostAddress::LocalHost);
}

QString TAVO_mgr_streamServer::urlFor(const TAVO_SERVER &server, TAVO_mgr_streamTap::Clock clock)
{
    if (!listener.isListening() || TAVO_mgr_streamRequest::streamUrl(server).isEmpty())
        return QString();
    QString path;
    for (auto it = boxes.cbegin(); it != boxes.cend() && path.isEmpty(); ++it) {
        if (it.value().device.UDN == server.device.UDN)
            path = it.key();
    }
    if (path.isEmpty())
        path = randomPath();
    boxes.insert(path, server);
    failures.remove(path);
    const QString query = clock == TAVO_mgr_streamTap::Clock::OfPictures ? QLatin1String(picturesClock) : QString();
    return QStringLiteral("http://127.0.0.1:%1%2%3").arg(listener.serverPort()).arg(path, query);
}

TAVO_mgr_streamFailure TAVO_mgr_streamServer::failureOf(const QString &url) const
{
    return failures.value(QUrl(url).path());
}

void TAVO_mgr_streamServer::clientArrived()
{
    while (QTcpSocket *socket = listener.nextPendingConnection()) {
        if (!clients.admit(socket)) {
            qCDebug(lcStreamServer) << "Refused a connection beyond" << connectionLimit;
            continue;
        }
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { requestArrived(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its request does not keep its connection.
        QTimer::singleShot(requestTimeLimitMs, socket, [this, socket] {
            if (socket->parent() == this)
                socket->abort();
        });
    }
}

// Only the request line counts: "GET <path> HTTP/1.x". Its headers are read up to their end,
// within a bound.
void TAVO_mgr_streamServer::requestArrived(QTcpSocket *socket)
{
    const QByteArray head = socket->peek(requestLimitBytes);
    if (!head.contains("\r\n\r\n")) {
        if (head.size() >= requestLimitBytes)
            answer(socket, "431 Request Header Fields Too Large");
        return;
    }
    socket->disconnect(this);
    socket->read(head.indexOf("\r\n\r\n") + 4);
    const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
    if (request.size() != 3 || request[0] != "GET" || !request[2].startsWith("HTTP/1.")) {
        answer(socket, "400 Bad Request");
        return;
    }
    const QString target = QString::fromLatin1(request[1]);
    const QString path = target.section(QLatin1Char('?'), 0, 0);
    if (!boxes.contains(path)) {
        answer(socket, "404 Not Found");
        return;
    }
    failures.remove(path);
    TAVO_mgr_streamTap *tap = TAVO_mgr_boxStream::of(boxes.value(path))->join(this);
    if (target.mid(path.size()) == QLatin1String(picturesClock))
        tap->setClock(TAVO_mgr_streamTap::Clock::OfPictures);
    auto *sending = new TAVO_mgr_streamSocket(socket, tap, this);
    sending->pace();
    connect(sending, &TAVO_mgr_streamSocket::refused, this,
            [this, path](const TAVO_mgr_streamFailure &failure) { failures.insert(path, failure); });
}

void TAVO_mgr_streamServer::answer(QTcpSocket *socket, const QByteArray &status)
{
    socket->disconnect(this);
    socket->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}
