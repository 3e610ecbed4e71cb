#include "TAVO_tuner_request.h"

#include "TAVO_mgr_lineText.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>
#include <QUrl>

#include <utility>

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
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 421: return "Misdirected Request";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// The headers that are read, each once at most; false for a line that is no header or a second
// Host (which two parts of a chain might read differently).
bool readHeaders(const QList<QByteArray> &lines, TAVO_tuner_request *request)
{
    const struct
    {
        const char *name;
        QByteArray TAVO_tuner_request::*field;
    } wanted[] = {{"host", &TAVO_tuner_request::host},
                  {"origin", &TAVO_tuner_request::origin},
                  {"sec-fetch-site", &TAVO_tuner_request::fetchSite},
                  {"user-agent", &TAVO_tuner_request::userAgent},
                  {"cookie", &TAVO_tuner_request::cookie},
                  {"authorization", &TAVO_tuner_request::authorization}};
    bool hostSeen = false;
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        const QByteArray name = line.left(colon).toLower();
        for (const auto &header : wanted) {
            if (name != header.name)
                continue;
            if (name == "host" && std::exchange(hostSeen, true))
                return false;
            request->*header.field = line.mid(colon + 1).trimmed();
        }
    }
    return true;
}

// An IPv4 address in its four dotted numbers, or an IPv6 one in brackets.
bool isAddressLiteral(const QString &name)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        return QHostAddress(name.mid(1, name.size() - 2)).protocol() == QAbstractSocket::IPv6Protocol;
    return dotted.match(name).hasMatch() && QHostAddress(name).protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

TAVO_tuner_request::State TAVO_tuner_request::read(const QByteArray &received, TAVO_tuner_request *request)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0 || end + 4 > headLimitBytes)
        return received.size() >= headLimitBytes || (end >= 0) ? State::TooLarge : State::Incomplete;
    QList<QByteArray> lines = received.left(end).split('\n');
    for (QByteArray &each : lines)
        each.chop(each.endsWith('\r') ? 1 : 0);
    const QByteArray line = lines.takeFirst();
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
    return readHeaders(lines, request) ? State::Ready : State::Bad;
}

bool TAVO_tuner_request::isForUs(const QStringList &ownNames) const
{
    if (host.isEmpty())
        return true;
    static const QRegularExpression withPort(QStringLiteral("^(.+?)(:[0-9]{1,5})?$"));
    const QRegularExpressionMatch match = withPort.match(QString::fromLatin1(host).toLower());
    if (!match.hasMatch())
        return false;
    QString name = match.captured(1);
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return isAddressLiteral(name) || ownNames.contains(name, Qt::CaseInsensitive);
}

bool TAVO_tuner_request::isFromAnotherSite() const
{
    if (!fetchSite.isEmpty() && fetchSite != "same-origin" && fetchSite != "none")
        return true;
    return !origin.isEmpty() && origin.toLower() != "http://" + host.toLower();
}

QStringList TAVO_tuner_request::ownNames()
{
    const QString name = QHostInfo::localHostName().toLower();
    QStringList names{QStringLiteral("localhost")};
    if (!name.isEmpty() && name != names.first())
        names << name << name + QLatin1String(".local");
    return names;
}

QString TAVO_tuner_request::clientName(const QByteArray &userAgent, const QString &address)
{
    QString said = TAVO_mgr_lineText::oneLine(QString::fromUtf8(userAgent)).trimmed();
    if (said.size() > userAgentShownChars)
        said = said.left(userAgentShownChars - 1) + QChar(0x2026);
    return said.isEmpty() ? address : said + QLatin1String(" (") + address + QLatin1Char(')');
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
    } else if (path == QLatin1String("/status")) {
        route.kind = Kind::Status;
    } else if (path == QLatin1String("/playlist.m3u")) {
        route.kind = Kind::Playlist;
    } else if (path == QLatin1String("/discover.json")) {
        route.kind = Kind::Discover;
    } else if (path == QLatin1String("/lineup.json")) {
        route.kind = Kind::Lineup;
    } else if (path == QLatin1String("/lineup.xml")) {
        route.kind = Kind::LineupXml;
    } else if (path == QLatin1String("/device.xml")) {
        route.kind = Kind::DeviceXml;
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

bool TAVO_tuner_route::steersBox(Kind kind)
{
    return kind == Kind::Channel || kind == Kind::Auto || kind == Kind::LineupPost;
}

QByteArray TAVO_tuner_answer::head(int status, const QByteArray &contentType, qint64 length, const QByteArray &more)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) + "\r\nContent-Type: "
                      + contentType + "\r\nCache-Control: no-cache\r\nConnection: close\r\n";
    if (length >= 0)
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (status == 405 && !more.startsWith("Allow:"))
        head += "Allow: GET, HEAD\r\n";
    return head + more + "\r\n";
}

QByteArray TAVO_tuner_answer::whole(int status, const QByteArray &contentType, const QByteArray &body, bool withBody,
                                    const QByteArray &more)
{
    return head(status, contentType, body.size(), more) + (withBody ? body : QByteArray());
}

QByteArray TAVO_tuner_answer::refusal(int status, const QString &reason, bool withBody, const QByteArray &more)
{
    return whole(status, "text/plain; charset=utf-8", TAVO_mgr_lineText::oneLine(reason).toUtf8() + '\n', withBody,
                 more);
}

