#include "TAVO_tuner_request.h"

#include "TAVO_mgr_lineText.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

// RFC 9110 tokens for the method; a target of printable ASCII only.
bool isToken(const QByteArray &text)
{
    static const QRegularExpression token(QStringLiteral("^[A-Z]{1,16}$"));
    return token.match(QString::fromLatin1(text)).hasMatch();
}

bool isPrintableAscii(const QByteArray &text)
{
    for (const char c : text) {
        if (c <= ' ' || c >= 0x7f)
            return false;
    }
    return !text.isEmpty();
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

} // namespace

TAVO_tuner_request::State TAVO_tuner_request::read(const QByteArray &received, TAVO_tuner_request *request)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > headLimitBytes)
        return received.size() >= headLimitBytes || (end >= 0) ? State::TooLarge : State::Incomplete;
    const QByteArray line = received.left(received.indexOf("\r\n"));
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !isPrintableAscii(parts[1]) || !parts[1].startsWith('/')
        || !(parts[2] == "HTTP/1.1" || parts[2] == "HTTP/1.0"))
        return State::Bad;
    const qsizetype queryAt = parts[1].indexOf('?');
    const QByteArray rawPath = queryAt < 0 ? parts[1] : parts[1].left(queryAt);
    request->method = parts[0];
    request->query = queryAt < 0 ? QString() : QString::fromLatin1(parts[1].mid(queryAt + 1));
    request->path = QUrl::fromPercentEncoding(rawPath);
    // A decoded path holds no control characters and no way out of the routes below.
    if (!isPrintableAscii(request->path.toUtf8()) || request->path.contains(QLatin1String("..")))
        return State::Bad;
    return State::Ready;
}

TAVO_tuner_route TAVO_tuner_route::of(const QString &path)
{
    static const QRegularExpression channel(QStringLiteral("^/(channel|logo)/([A-Za-z0-9-]{1,64})/([0-9]{1,6})$"));
    static const QRegularExpression automatic(QStringLiteral("^/auto/v([0-9]{1,6})$"));
    TAVO_tuner_route route;
    const QRegularExpressionMatch byBox = channel.match(path);
    const QRegularExpressionMatch byNumber = automatic.match(path);
    if (byBox.hasMatch()) {
        route.kind = byBox.captured(1) == QLatin1String("channel") ? Kind::Channel : Kind::Logo;
        route.box = byBox.captured(2);
        route.number = byBox.captured(3);
    } else if (byNumber.hasMatch()) {
        route.kind = Kind::Auto;
        route.number = byNumber.captured(1);
    } else if (path == QLatin1String("/")) {
        route.kind = Kind::Status;
    } else if (path == QLatin1String("/playlist.m3u")) {
        route.kind = Kind::Playlist;
    } else if (path == QLatin1String("/discover.json")) {
        route.kind = Kind::Discover;
    } else if (path == QLatin1String("/lineup.json")) {
        route.kind = Kind::Lineup;
    } else if (path == QLatin1String("/lineup_status.json")) {
        route.kind = Kind::LineupStatus;
    } else if (path == QLatin1String("/lineup.post")) {
        route.kind = Kind::LineupPost;
    }
    return route;
}

bool TAVO_tuner_route::allows(Kind kind, const QByteArray &method)
{
    return method == "GET" || method == "HEAD" || (kind == Kind::LineupPost && method == "POST");
}

QByteArray TAVO_tuner_answer::head(int status, const QByteArray &contentType, qint64 length)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\nContent-Type: "
                      + contentType + "\r\nCache-Control: no-cache\r\nConnection: close\r\n";
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    return head + "\r\n";
}

QByteArray TAVO_tuner_answer::whole(int status, const QByteArray &contentType, const QByteArray &body, bool withBody)
{
    return head(status, contentType, body.size()) + (withBody ? body : QByteArray());
}

QByteArray TAVO_tuner_answer::refusal(int status, const QString &reason, bool withBody)
{
    return whole(status, "text/plain; charset=utf-8", TAVO_mgr_lineText::oneLine(reason).toUtf8() + '\n', withBody);
}

