#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QSslConfiguration>
#include <functional>

class QTcpServer;
class QTcpSocket;
class RequestLog;

struct HttpRequest
{
    QByteArray requestLine;
    QByteArray method;
    QByteArray target;
    QMap<QByteArray, QByteArray> headers; // names in lower case

    // The path of the target, whether it came in origin form ("/a?b") or absolute form.
    QString path() const;
    QString queryItem(const QString &name) const;
};

// One listening port of a box. Reads the head of each request on a connection, records the
// request line in the box's log, and hands the request to the service's handler, which
// answers on the socket. Every answer closes its connection.
class HttpService : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const HttpRequest &, QTcpSocket *)>;

    HttpService(RequestLog *log, bool silent, Handler handler, QObject *parent = nullptr);
    // With a TLS configuration the port speaks HTTPS only.
    bool listen(const QHostAddress &address, quint16 port, QString *error,
                const QSslConfiguration &tls = QSslConfiguration());

private:
    void acceptConnections();
    void readHead(QTcpSocket *socket, QByteArray *buffer);
    HttpRequest parseHead(const QByteArray &head) const;

    RequestLog *m_log;
    bool m_silent;
    Handler m_handler;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
};

// Writes a whole answer and closes the connection once it has gone out.
void sendResponse(QTcpSocket *socket, int status, const QByteArray &contentType = {},
                  const QByteArray &body = {}, const QList<QPair<QByteArray, QByteArray>> &headers = {});
// Writes only the status line and headers of an answer whose body follows without end.
void sendEndlessResponseHead(QTcpSocket *socket, const QByteArray &contentType);
// Answers 200 with the document followed by a comment that never closes, sent at a bounded
// pace until the client hangs up: a description or file that does not end.
void sendEndlessDocument(QTcpSocket *socket, const QByteArray &document);
