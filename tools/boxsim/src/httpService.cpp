#include "httpService.h"

#include "requestLog.h"

#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

namespace {

// A head larger than this is not a request any client of a box sends.
constexpr int maxHeadBytes = 64 * 1024;
// An endless body goes out in chunks on a timer, about 16 MB/s at most: fast enough to pass
// any size limit within a second, slow enough that a client which keeps everything it reads
// grows visibly but does not take the machine down within a test.
constexpr int endlessChunkBytes = 64 * 1024;
constexpr int endlessChunkIntervalMs = 4;
constexpr qint64 endlessBacklogBytes = 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    static const QMap<int, QByteArray> phrases{
        {200, "OK"}, {301, "Moved Permanently"}, {302, "Found"}, {400, "Bad Request"},
        {401, "Unauthorized"}, {403, "Forbidden"}, {404, "Not Found"},
        {432, "Old RCU Version"}, {433, "Incorrect RCU Id"}, {500, "Internal Server Error"},
        {503, "Service Unavailable"}, {510, "Remote Controller Unavailable"},
        {514, "RCU Key Not Learned"}, {515, "Unable to Access URI"}};
    return phrases.value(status, "Status");
}

QByteArray statusLine(int status)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
}

QByteArray withoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QUrl targetUrl(const QByteArray &target)
{
    const QString text = QString::fromLatin1(target);
    return text.startsWith(QLatin1Char('/')) ? QUrl(QStringLiteral("http://box") + text) : QUrl(text);
}

} // namespace

QString HttpRequest::path() const
{
    return targetUrl(target).path();
}

QString HttpRequest::queryItem(const QString &name) const
{
    return QUrlQuery(targetUrl(target)).queryItemValue(name, QUrl::FullyDecoded);
}

HttpService::HttpService(RequestLog *log, bool silent, Handler handler, QObject *parent)
    : QObject(parent), m_log(log), m_silent(silent), m_handler(std::move(handler))
{
}

bool HttpService::listen(const QHostAddress &address, quint16 port, QString *error,
                         const QSslConfiguration &tls)
{
    if (tls.isNull()) {
        m_server = new QTcpServer(this);
    } else {
        auto *sslServer = new QSslServer(this);
        sslServer->setSslConfiguration(tls);
        m_server = sslServer;
    }
    m_port = port;
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpService::acceptConnections);
    if (m_server->listen(address, port))
        return true;
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(address.toString()).arg(port).arg(m_server->errorString());
    return false;
}

void HttpService::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QIODevice::readyRead, this, [this, socket, buffer] { readHead(socket, buffer.get()); });
        if (socket->bytesAvailable() > 0)
            readHead(socket, buffer.get());
    }
}

void HttpService::readHead(QTcpSocket *socket, QByteArray *buffer)
{
    const bool lineSeenBefore = buffer->contains('\n');
    buffer->append(socket->readAll());
    const qsizetype lineEnd = buffer->indexOf('\n');
    if (!lineSeenBefore && lineEnd >= 0)
        m_log->record(m_port, withoutCarriageReturn(buffer->left(lineEnd)));
    qsizetype headEnd = buffer->indexOf("\r\n\r\n");
    if (headEnd < 0 && buffer->size() <= maxHeadBytes)
        return;
    disconnect(socket, &QIODevice::readyRead, this, nullptr);
    if (m_silent)
        return;
    if (headEnd < 0) {
        sendResponse(socket, 400);
        return;
    }
    m_handler(parseHead(buffer->left(headEnd)), socket);
}

HttpRequest HttpService::parseHead(const QByteArray &head) const
{
    const QList<QByteArray> lines = head.split('\n');
    HttpRequest request;
    request.requestLine = lines.first().trimmed();
    const QList<QByteArray> parts = request.requestLine.split(' ');
    request.method = parts.value(0);
    request.target = parts.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    return request;
}

void sendResponse(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
                  const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QByteArray answer = statusLine(status);
    if (!contentType.isEmpty())
        answer += "Content-Type: " + contentType + "\r\n";
    for (const auto &header : headers)
        answer += header.first + ": " + header.second + "\r\n";
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    socket->write(answer);
    socket->disconnectFromHost();
}

void sendEndlessResponseHead(QTcpSocket *socket, const QByteArray &contentType)
{
    socket->write(statusLine(200) + "Content-Type: " + contentType
                  + "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
}

void sendEndlessDocument(QTcpSocket *socket, const QByteArray &document)
{
    sendEndlessResponseHead(socket, "text/xml; charset=\"utf-8\"");
    socket->write(document + "<!--");
    auto *pace = new QTimer(socket);
    QObject::connect(pace, &QTimer::timeout, socket, [socket] {
        if (socket->bytesToWrite() < endlessBacklogBytes)
            socket->write(QByteArray(endlessChunkBytes, ' '));
    });
    pace->start(endlessChunkIntervalMs);
}
