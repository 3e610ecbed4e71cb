#include "TAVO_test_keyServer.h"

#include <QTimer>

#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

namespace {

QString keyOf(const QString &requestLine)
{
    const QUrl target(requestLine.section(QLatin1Char(' '), 1, 1));
    return QUrlQuery(target).queryItemValue(QStringLiteral("key"));
}

} // namespace

TAVO_test_keyServer::TAVO_test_keyServer()
{
    connect(&server, &QTcpServer::newConnection, this, &TAVO_test_keyServer::accept);
}

bool TAVO_test_keyServer::listen()
{
    return server.listen(QHostAddress::LocalHost, 0);
}

QString TAVO_test_keyServer::keyUrlPrefix(const QString &version, const QString &id) const
{
    return QStringLiteral("http://127.0.0.1:%1/?src=1&ver=%2&id=%3&key=").arg(port()).arg(version, id);
}

QStringList TAVO_test_keyServer::keys() const
{
    QStringList result;
    for (const QString &line : lines)
        result << keyOf(line);
    return result;
}

bool TAVO_test_keyServer::waitForRequests(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return lines.size() >= count; }, timeoutMs);
}

void TAVO_test_keyServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
    }
}

// A GET has no body, so each request ends at its blank line.
void TAVO_test_keyServer::readRequests(QTcpSocket *socket)
{
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    for (int end = received.indexOf("\r\n\r\n"); end >= 0; end = received.indexOf("\r\n\r\n")) {
        const QString requestLine = QString::fromLatin1(received.left(received.indexOf("\r\n")));
        received.remove(0, end + 4);
        lines.append(requestLine);
        answer(socket, requestLine);
    }
    socket->setProperty("received", received);
}

void TAVO_test_keyServer::answer(QTcpSocket *socket, const QString &requestLine)
{
    const QString key = keyOf(requestLine);
    if (silentKeys.contains(key))
        return;
    if (endlessKeys.contains(key)) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n");
        auto *trickle = new QTimer(socket);
        connect(trickle, &QTimer::timeout, socket, [socket] { socket->write(QByteArray(1024, ' ')); });
        trickle->start(100);
        return;
    }
    const int status = statuses.value(key, 200);
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + " Answer\r\nContent-Length: 0\r\n";
    if (status >= 300 && status < 400)
        response += "Location: http://127.0.0.1:" + QByteArray::number(port()) + "/?key=MOVED\r\n";
    socket->write(response + "\r\n");
}
