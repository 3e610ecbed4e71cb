#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A one-answer HTTP server on a loopback address, for tests of the client's downloads. Every
// request gets the same canned answer; the request lines are kept in order of arrival.
class TAVO_test_httpServer : public QObject
{
    Q_OBJECT

public:
    enum class Answer {
        Body,       // 200 with the body and its length
        NotFound,   // 404
        Redirect,   // 301 to "/moved.xml" on this server
        Trickle,    // 200 announcing the body, then one byte every 500 ms, never done
        Silent,     // accepts the connection and never answers
        Unframed,   // 200 with the body and no length: it ends when the connection closes
    };

    explicit TAVO_test_httpServer(Answer answer, const QByteArray &body = QByteArray());

    // False when the address and port cannot be taken (port 0: any free port).
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const { return server.serverPort(); }
    QString baseUrl() const;  // "http://address:port"

    QStringList requestLines() const { return lines; }
    // The bytes of trickled bodies sent so far.
    int trickledBytes() const { return trickled; }
    // Waits until `count` requests arrived.
    bool waitForRequests(int count, int timeoutMs = 5000) const;

private:
    void accept();
    void answerRequest(QTcpSocket *socket);
    void startTrickle(QTcpSocket *socket);

    QTcpServer server;
    Answer answer;
    QByteArray body;
    QStringList lines;
    int trickled = 0;
};
