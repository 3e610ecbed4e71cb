#include "TAVO_test_httpServer.h"

#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

constexpr int trickleIntervalMs = 500;

QByteArray statusResponse(const QByteArray &statusLine, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 " + statusLine + "\r\n" + headers + "Content-Length: 0\r\nConnection: close\r\n\r\n";
}

} // namespace

TAVO_test_httpServer::TAVO_test_httpServer(Answer answer, const QByteArray &body)
    : answer(answer)
    , body(body)
{
    connect(&server, &QTcpServer::newConnection, this, &TAVO_test_httpServer::accept);
}

bool TAVO_test_httpServer::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

QString TAVO_test_httpServer::baseUrl() const
{
    return QStringLiteral("http://%1:%2").arg(server.serverAddress().toString()).arg(server.serverPort());
}

bool TAVO_test_httpServer::waitForRequests(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return lines.size() >= count; }, timeoutMs);
}

void TAVO_test_httpServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        // Held by the connection alone, so it goes whichever of socket and server goes first.
        const auto received = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
            received->append(socket->readAll());
            if (!received->contains("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            lines.append(QString::fromLatin1(received->left(received->indexOf("\r\n"))));
            answerRequest(socket);
        });
    }
}

void TAVO_test_httpServer::answerRequest(QTcpSocket *socket)
{
    switch (answer) {
    case Answer::Body:
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        break;
    case Answer::Unframed:
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        break;
    case Answer::NotFound:
        socket->write(statusResponse("404 Not Found"));
        break;
    case Answer::Redirect:
        socket->write(statusResponse("301 Moved Permanently", "Location: " + baseUrl().toLatin1() + "/moved.xml\r\n"));
        break;
    case Answer::Trickle:
        startTrickle(socket);
        break;
    case Answer::Silent:
        break;
    }
}

void TAVO_test_httpServer::startTrickle(QTcpSocket *socket)
{
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 100000\r\n\r\n<");
    ++trickled;
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [this, socket] {
        socket->write(" ");
        ++trickled;
    });
    timer->start(trickleIntervalMs);
}
