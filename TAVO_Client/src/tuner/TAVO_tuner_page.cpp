#include "TAVO_tuner_page.h"

#include "TAVO_mgr_streamSocket.h"
#include "TAVO_tuner_picture.h"
#include "TAVO_tuner_remote.h"

#include <QFile>
#include <QHostAddress>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

// The page runs only its own files: no script, style or image from elsewhere, in no frame; its
// picture is its own Media Source (a blob: URL).
constexpr char pageHeaders[] = "Content-Security-Policy: default-src 'self'; img-src 'self' data:; media-src 'self' blob:; object-src 'none'; "
                               "base-uri 'none'; form-action 'self'; frame-ancestors 'none'\r\n"
                               "X-Content-Type-Options: nosniff\r\n"
                               "Referrer-Policy: no-referrer\r\n";

QByteArray fileType(const QString &name)
{
    static const QMap<QString, QByteArray> types{
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("css"), "text/css; charset=utf-8"},
        {QStringLiteral("js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("webmanifest"), "application/manifest+json"},
    };
    return types.value(QFileInfo(name).suffix());
}

bool isKeyName(const QString &name)
{
    for (const TAVO_KEY_FLAG &flag : tavoKeyFlags) {
        if (name == QLatin1String(flag.name))
            return true;
    }
    return false;
}

} // namespace

TAVO_tuner_page::Route TAVO_tuner_page::Route::of(const QString &path)
{
    static const QRegularExpression file(QStringLiteral("^/page/([a-z0-9-]{1,32}\\.[a-z]{2,12})$"));
    static const QRegularExpression remote(QStringLiteral("^/api/(remote|picture)/([A-Za-z0-9-]{1,64})$"));
    static const QRegularExpression press(QStringLiteral("^/api/(key|channel)/([A-Za-z0-9-]{1,64})/([A-Za-z0-9_]{1,32})$"));
    Route route;
    QRegularExpressionMatch match;
    if (path == QLatin1String("/")) {
        route = {Kind::File, QStringLiteral("index.html"), {}, {}};
    } else if (path == QLatin1String("/login")) {
        route = {Kind::File, QStringLiteral("login.html"), {}, {}};
    } else if (path == QLatin1String("/api/login")) {
        route.kind = Kind::Login;
    } else if (path == QLatin1String("/manifest.webmanifest")) {
        route = {Kind::File, QStringLiteral("manifest.webmanifest"), {}, {}};
    } else if ((match = file.match(path)).hasMatch()) {
        route = {Kind::File, match.captured(1), {}, {}};
    } else if (path == QLatin1String("/api/boxes")) {
        route.kind = Kind::Boxes;
    } else if ((match = remote.match(path)).hasMatch()) {
        route = {match.captured(1) == QLatin1String("remote") ? Kind::Remote : Kind::Picture, {}, match.captured(2), {}};
    } else if ((match = press.match(path)).hasMatch()) {
        const bool isKey = match.captured(1) == QLatin1String("key");
        const QString value = match.captured(3);
        static const QRegularExpression number(QStringLiteral("^[0-9]{1,6}$"));
        if (isKey ? isKeyName(value) : number.match(value).hasMatch())
            route = {isKey ? Kind::Key : Kind::Channel, {}, match.captured(2), value};
    }
    return route;
}

TAVO_tuner_page::TAVO_tuner_page(TAVO_tuner_lineup *lineup, bool allowEncrypted, QObject *parent)
    : QObject(parent)
    , lineup(lineup)
    , access(std::make_unique<TAVO_tuner_access>(false))
    , allowEncrypted(allowEncrypted)
{
}

TAVO_tuner_page::~TAVO_tuner_page() = default;

void TAVO_tuner_page::guard(std::unique_ptr<TAVO_tuner_access> guarding)
{
    access = std::move(guarding);
}

// A browser's Sec-Fetch-Site cannot be set by a page, and it holds behind a reverse proxy that
// gives the service another Host than the browser's; a browser without it names the Origin.
bool TAVO_tuner_page::isFromThePage(const TAVO_tuner_request &request)
{
    if (!request.fetchSite.isEmpty())
        return request.fetchSite == "same-origin";
    return !request.origin.isEmpty() && !request.isFromAnotherSite();
}

bool TAVO_tuner_page::answer(QTcpSocket *socket, const TAVO_tuner_request &request)
{
    const Route route = Route::of(request.path);
    if (route.kind == Route::Kind::None)
        return false;
    const bool withBody = request.method != "HEAD";
    const bool methodFits = route.posts() ? request.method == "POST" : (request.method == "GET" || request.method == "HEAD");
    QByteArray reply;
    TAVO_tuner_box box;
    if (!methodFits) {
        reply = TAVO_tuner_answer::refusal(405, route.posts() ? QStringLiteral("this is asked by POST only")
                                                              : QStringLiteral("only GET and HEAD are answered here"),
                                           withBody, route.posts() ? "Allow: POST\r\n" : "");
    } else if (route.posts() && !isFromThePage(request)) {
        reply = TAVO_tuner_answer::refusal(403, QStringLiteral("this is taken from this service's own page only"));
    } else if (route.kind == Route::Kind::Login) {
        reply = answerLogin(socket, request);
    } else if (route.needsSession() && !access->admits(request.cookie)) {
        reply = TAVO_tuner_answer::refusal(401, QStringLiteral("log in on the page first"), withBody);
    } else if (route.kind == Route::Kind::File) {
        answerFile(socket, route.file, withBody);
        return true;
    } else if (route.kind == Route::Kind::Boxes) {
        reply = TAVO_tuner_answer::whole(200, "application/json", boxesJson(lineup->boxes()), withBody);
    } else if (!lineup->box(route.box, &box)) {
        reply = TAVO_tuner_answer::refusal(404, QStringLiteral("no such box"), withBody);
    } else if (route.kind == Route::Kind::Channel && !box.list.byNumber(route.value)) {
        reply = TAVO_tuner_answer::refusal(404, QStringLiteral("no such channel"));
    } else if (route.kind == Route::Kind::Picture) {
        reply = withBody ? showPicture(socket, box) : TAVO_tuner_answer::head(200, "video/mp4");
        if (reply.isEmpty())
            return true;
    } else {
        TAVO_tuner_remote *remote = remoteOf(box);
        if (route.kind == Route::Kind::Remote)
            remote->describe(socket);
        else if (route.kind == Route::Kind::Key)
            remote->press(socket, route.value);
        else
            remote->tune(socket, route.value);
        return true;
    }
    socket->write(reply);
    TAVO_mgr_streamSocket::closeAfterSending(socket);
    return true;
}

void TAVO_tuner_page::answerFile(QTcpSocket *socket, const QString &name, bool withBody)
{
    QFile file(QLatin1String(":/page/") + name);
    const QByteArray type = fileType(name);
    if (type.isEmpty() || !file.open(QIODevice::ReadOnly))
        socket->write(TAVO_tuner_answer::refusal(404, QStringLiteral("nothing is served at this path"), withBody));
    else
        socket->write(TAVO_tuner_answer::whole(200, type, file.readAll(), withBody, pageHeaders));
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}

// The password comes as HTTP Basic credentials (the user name is not asked for): the page's
// script sends it, so that no request body is ever read.
QByteArray TAVO_tuner_page::answerLogin(const QTcpSocket *socket, const TAVO_tuner_request &request)
{
    if (!access->isRequired())
        return TAVO_tuner_answer::whole(200, "application/json", "{\"ok\":true}");
    const QByteArray scheme = "Basic ";
    const QByteArray credentials = request.authorization.startsWith(scheme)
                                       ? QByteArray::fromBase64(request.authorization.mid(scheme.size()))
                                       : QByteArray();
    const QString password = QString::fromUtf8(credentials.mid(credentials.indexOf(':') + 1));
    QByteArray cookie;
    qint64 waitSeconds = 0;
    switch (access->logIn(socket->peerAddress().toString(), password, &cookie, &waitSeconds)) {
    case TAVO_tuner_access::Login::Accepted:
        return TAVO_tuner_answer::whole(200, "application/json", "{\"ok\":true}", true, "Set-Cookie: " + cookie + "\r\n");
    case TAVO_tuner_access::Login::NoPassword:
        return TAVO_tuner_answer::refusal(403, QStringLiteral("no password is set: the owner sets one with tavo-tuner --set-password"));
    case TAVO_tuner_access::Login::Waiting:
        return TAVO_tuner_answer::refusal(429, QStringLiteral("too many wrong passwords: try again in %1 s").arg(waitSeconds), true,
                                          "Retry-After: " + QByteArray::number(waitSeconds) + "\r\n");
    case TAVO_tuner_access::Login::Wrong:
        break;
    }
    return TAVO_tuner_answer::refusal(401, waitSeconds > 0 ? QStringLiteral("wrong password: try again in %1 s").arg(waitSeconds)
                                                           : QStringLiteral("wrong password"));
}

// The box's picture for this browser (an empty answer: it is given), shared with the box's other
// browsers.
QByteArray TAVO_tuner_page::showPicture(QTcpSocket *socket, const TAVO_tuner_box &box)
{
    if (box.encrypted && !allowEncrypted)
        return TAVO_tuner_answer::refusal(403, QStringLiteral("%1 sends an encrypted stream, which tavo-tuner shows only with --allow-encrypted")
                                                   .arg(box.name()));
    int watching = 0;
    for (const TAVO_tuner_picture *picture : std::as_const(pictures))
        watching += picture->browserCount();
    if (watching >= pictureLimit)
        return TAVO_tuner_answer::refusal(503, QStringLiteral("the service shows %1 pictures already, as many as it takes").arg(pictureLimit));
    TAVO_tuner_picture *&picture = pictures[box.id];
    if (!picture) {
        picture = new TAVO_tuner_picture(box, this);
        connect(picture, &TAVO_tuner_picture::finished, this, [this, id = box.id, shown = picture] {
            if (pictures.value(id) == shown)
                pictures.remove(id);
            shown->deleteLater();
        });
    }
    picture->add(socket);
    return QByteArray();
}

// A box's remote lives as long as the service: its queue keeps the order of every browser's keys.
TAVO_tuner_remote *TAVO_tuner_page::remoteOf(const TAVO_tuner_box &box)
{
    TAVO_tuner_remote *&remote = remotes[box.id];
    if (!remote)
        remote = new TAVO_tuner_remote(box, this);
    remote->follow(box);
    return remote;
}

QByteArray TAVO_tuner_page::boxesJson(const QList<TAVO_tuner_box> &boxes)
{
    QJsonArray all;
    for (const TAVO_tuner_box &box : boxes) {
        QJsonArray channels;
        for (const TAVO_mgr_channel &channel : box.list.channels) {
            channels.append(QJsonObject{
                {QStringLiteral("number"), channel.number},
                {QStringLiteral("name"), channel.name},
                {QStringLiteral("logo"), channel.logo.isEmpty() ? QString()
                                                                : QLatin1String("/logo/") + box.id + QLatin1Char('/') + channel.number},
            });
        }
        all.append(QJsonObject{{QStringLiteral("id"), box.id},
                               {QStringLiteral("name"), box.name()},
                               {QStringLiteral("encrypted"), box.encrypted},
                               {QStringLiteral("channels"), channels}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("boxes"), all}}).toJson(QJsonDocument::Compact);
}
