#include "TAVO_tuner_service.h"

#include "TAVO_mgr_boxKey.h"
#include "TAVO_mgr_lineText.h"
#include "TAVO_mgr_streamFailure.h"
#include "TAVO_mgr_streamRequest.h"
#include "TAVO_mgr_streamSocket.h"
#include "TAVO_tuner_deviceId.h"
#include "TAVO_tuner_documents.h"
#include "TAVO_tuner_session.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTunerService, "tavo.tuner.service", QtInfoMsg)

namespace {

constexpr qint64 logoLimitBytes = 1024 * 1024;
// A logo is whatever file an imported list named, and an SVG one may carry script that would run
// with this service's origin when a browser opens it (and read the line-up and the streams from
// there). SVG logos are what many lists have, and TV software shows them, so they are served,
// but as inert documents: no script, no loads, no sniffing into another type.
constexpr char logoHeaders[] = "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; sandbox\r\n"
                               "X-Content-Type-Options: nosniff\r\n";

QByteArray imageType(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    return QByteArray();
}

} // namespace

TAVO_tuner_service::TAVO_tuner_service(TAVO_tuner_lineup *lineup, bool allowEncrypted, const QString &deviceId,
                                       QObject *parent)
    : QObject(parent)
    , lineup(lineup)
    , allowEncrypted(allowEncrypted)
    , deviceId(deviceId)
    , ownNames(TAVO_tuner_request::ownNames())
    , page(lineup, allowEncrypted)
{
    connect(&server, &QTcpServer::newConnection, this, &TAVO_tuner_service::accept);
}

bool TAVO_tuner_service::listen(const QHostAddress &address, quint16 port, QString *problem)
{
    if (server.listen(address, port))
        return true;
    *problem = server.errorString();
    return false;
}

void TAVO_tuner_service::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (!clients.admit(socket))
            continue;
        socket->setParent(this);
        // Nothing a client sends is kept beyond a request's head.
        socket->setReadBufferSize(TAVO_tuner_request::headLimitBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(headTimeLimitMs, socket, [socket] {
            if (socket->property("asked").toBool())
                return;
            socket->abort();
            socket->deleteLater();
        });
    }
}

void TAVO_tuner_service::readHead(QTcpSocket *socket)
{
    if (socket->property("asked").toBool())
        return;
    TAVO_tuner_request request;
    const QByteArray received = socket->peek(TAVO_tuner_request::headLimitBytes);
    const TAVO_tuner_request::State state = TAVO_tuner_request::read(received, &request);
    if (state == TAVO_tuner_request::State::Incomplete)
        return;
    socket->setProperty("asked", true);
    socket->skip(socket->bytesAvailable());
    if (state == TAVO_tuner_request::State::Ready) {
        answer(socket, request);
        return;
    }
    const int status = state == TAVO_tuner_request::State::TooLarge ? 431 : 400;
    socket->write(TAVO_tuner_answer::refusal(status, QStringLiteral("the request cannot be read")));
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}

void TAVO_tuner_service::answer(QTcpSocket *socket, const TAVO_tuner_request &request)
{
    const TAVO_tuner_route route = TAVO_tuner_route::of(request.path);
    const bool withBody = request.method != "HEAD";
    const QString base = baseOf(socket);
    qCDebug(lcTunerService).noquote() << socket->peerAddress().toString() << request.method << request.path;
    QByteArray reply;
    TAVO_tuner_box box;
    if (request.isForUs(ownNames) && page.answer(socket, request))
        return;
    if (!request.isForUs(ownNames)) {
        const QString reason = QStringLiteral("this service answers at its address or this computer's name only");
        noteRefusal(socket, request, 421, reason);
        reply = TAVO_tuner_answer::refusal(421, reason, withBody);
    } else if (TAVO_tuner_route::steersBox(route.kind) && request.isFromAnotherSite()) {
        const QString reason = QStringLiteral("a box is not tuned for another site's page");
        noteRefusal(socket, request, 403, reason);
        reply = TAVO_tuner_answer::refusal(403, reason, withBody);
    } else if (!TAVO_tuner_route::allows(route.kind, request.method)) {
        reply = TAVO_tuner_answer::refusal(405, QStringLiteral("only GET and HEAD are answered here"), withBody);
    } else {
        switch (route.kind) {
        case TAVO_tuner_route::Kind::Status:
            reply = TAVO_tuner_answer::whole(200, "text/html; charset=utf-8", statusPage(), withBody);
            break;
        case TAVO_tuner_route::Kind::Playlist:
            reply = TAVO_tuner_answer::whole(200, "audio/x-mpegurl; charset=utf-8",
                                             TAVO_tuner_documents::playlist(lineup->boxes(), tuners(), base), withBody);
            break;
        case TAVO_tuner_route::Kind::Discover:
            reply = TAVO_tuner_answer::whole(200, "application/json",
                                             TAVO_tuner_documents::discover(base, deviceId, int(tuners().size()),
                                                                            QCoreApplication::applicationVersion()),
                                             withBody);
            break;
        case TAVO_tuner_route::Kind::Lineup:
            reply = TAVO_tuner_answer::whole(200, "application/json", TAVO_tuner_documents::lineup(tuners(), base),
                                             withBody);
            break;
        case TAVO_tuner_route::Kind::LineupXml:
            reply = TAVO_tuner_answer::whole(200, "application/xml", TAVO_tuner_documents::lineupXml(tuners(), base), withBody);
            break;
        case TAVO_tuner_route::Kind::DeviceXml:
            reply = TAVO_tuner_answer::whole(200, "application/xml",
                                             TAVO_tuner_documents::deviceXml(base, deviceId, TAVO_tuner_deviceId::udnOf(deviceId)),
                                             withBody);
            break;
        case TAVO_tuner_route::Kind::LineupStatus:
            reply = TAVO_tuner_answer::whole(200, "application/json", TAVO_tuner_documents::lineupStatus(), withBody);
            break;
        case TAVO_tuner_route::Kind::LineupPost:
            // The channels are the window's list: there is nothing to scan, and so nothing to wait for.
            reply = TAVO_tuner_answer::whole(200, "text/plain", QByteArray(), withBody);
            break;
        case TAVO_tuner_route::Kind::Logo:
            serveLogo(socket, route, withBody);
            return;
        case TAVO_tuner_route::Kind::Channel:
            if (!lineup->box(route.box, &box) || !box.list.byNumber(route.number)) {
                reply = TAVO_tuner_answer::refusal(404, QStringLiteral("no such box or channel"), withBody);
            } else if (withBody) {
                serveChannel(socket, request, box, route.number);
                return;
            } else {
                const Refusal full = refusalAtViewerLimit();
                reply = headOf({full.status != 0 ? full : refusalAsked(box, route.number)});
            }
            break;
        case TAVO_tuner_route::Kind::Auto:
            if (TAVO_tuner_lineup::poolFor(tuners(), route.number).isEmpty()) {
                reply = TAVO_tuner_answer::refusal(404, QStringLiteral("no box has channel %1").arg(route.number), withBody);
            } else if (withBody) {
                serveAuto(socket, request, route.number);
                return;
            } else if (const Refusal full = refusalAtViewerLimit(); full.status != 0) {
                reply = headOf({full});
            } else {
                QList<Refusal> refusals;
                for (const TAVO_tuner_box &each : TAVO_tuner_lineup::poolFor(tuners(), route.number))
                    refusals.append(refusalAsked(each, route.number));
                reply = headOf(refusals);
            }
            break;
        case TAVO_tuner_route::Kind::NotFound:
            reply = TAVO_tuner_answer::refusal(404, QStringLiteral("nothing is served at this path"), withBody);
            break;
        }
    }
    socket->write(reply);
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}

// The head of a channel's answer, as GET would bring it: 200 when one of the boxes could serve it.
QByteArray TAVO_tuner_service::headOf(const QList<Refusal> &refusals)
{
    QStringList reasons;
    for (const Refusal &refusal : refusals) {
        if (refusal.status == 0)
            return TAVO_tuner_answer::head(200, "video/mp2t");
        reasons.append(refusal.reason);
    }
    if (refusals.size() == 1)
        return TAVO_tuner_answer::refusal(refusals.first().status, reasons.first(), false, refusals.first().error);
    return TAVO_tuner_answer::refusal(503, reasons.join(QLatin1String("; ")), false, TAVO_tuner_answer::allTunersInUse);
}

// A refusal (status 0: none) when the service already streams to as many viewers as it takes.
TAVO_tuner_service::Refusal TAVO_tuner_service::refusalAtViewerLimit() const
{
    int viewers = 0;
    for (const TAVO_tuner_session *session : sessions)
        viewers += session->viewerCount();
    if (viewers < viewerLimit)
        return {0, {}, {}};
    return {503, QStringLiteral("the service streams to %1 viewers already, as many as it takes").arg(viewerLimit), {}};
}

// True when the client is refused, the service streaming to as many viewers as it takes.
bool TAVO_tuner_service::refuseBeyondViewerLimit(QTcpSocket *socket, const TAVO_tuner_request &request)
{
    const Refusal full = refusalAtViewerLimit();
    if (full.status == 0)
        return false;
    refuse(socket, request, full);
    return true;
}

// A client's request for a channel is refused: it is told, and the status page shows it.
void TAVO_tuner_service::refuse(QTcpSocket *socket, const TAVO_tuner_request &request, const Refusal &refusal)
{
    noteRefusal(socket, request, refusal.status, refusal.reason);
    socket->write(TAVO_tuner_answer::refusal(refusal.status, refusal.reason, true, refusal.error));
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}

void TAVO_tuner_service::noteRefusal(const QTcpSocket *socket, const TAVO_tuner_request &request, int status,
                                     const QString &reason)
{
    const QString client = TAVO_tuner_request::clientName(request.userAgent, socket->peerAddress().toString());
    refusals.append(QStringLiteral("%1 %2 %3 from %4: %5")
                        .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), QString::number(status),
                             request.path.left(80), client, reason));
    while (refusals.size() > refusalsKept)
        refusals.removeFirst();
}

void TAVO_tuner_service::serveChannel(QTcpSocket *socket, const TAVO_tuner_request &request, const TAVO_tuner_box &box,
                                      const QString &number)
{
    if (refuseBeyondViewerLimit(socket, request))
        return;
    Refusal refusal;
    TAVO_tuner_session *session = open(box, number, &refusal);
    if (!session) {
        refuse(socket, request, refusal);
        return;
    }
    session->add(socket, request.userAgent);
}

// A box of the pool that already plays the channel is shared first, then a free one is taken.
void TAVO_tuner_service::serveAuto(QTcpSocket *socket, const TAVO_tuner_request &request, const QString &number)
{
    if (refuseBeyondViewerLimit(socket, request))
        return;
    QList<TAVO_tuner_box> pool = TAVO_tuner_lineup::poolFor(tuners(), number);
    for (const TAVO_tuner_box &box : pool) {
        TAVO_tuner_session *session = sessions.value(box.id);
        if (session && session->number() == number) {
            session->add(socket, request.userAgent);
            return;
        }
    }
    // A box kept for a client coming back is taken only when no box is free.
    std::stable_partition(pool.begin(), pool.end(), [this](const TAVO_tuner_box &box) { return !sessions.contains(box.id); });
    QStringList reasons;
    for (const TAVO_tuner_box &box : pool) {
        Refusal refusal;
        if (TAVO_tuner_session *session = open(box, number, &refusal)) {
            session->add(socket, request.userAgent);
            return;
        }
        reasons.append(refusal.reason);
    }
    refuse(socket, request,
           {503, QStringLiteral("no box is free for channel %1: %2").arg(number, reasons.join(QLatin1String("; "))),
            TAVO_tuner_answer::allTunersInUse});
}

void TAVO_tuner_service::serveLogo(QTcpSocket *socket, const TAVO_tuner_route &route, bool withBody)
{
    TAVO_tuner_box box;
    const TAVO_mgr_channel *channel = lineup->box(route.box, &box) ? box.list.byNumber(route.number) : nullptr;
    QFile file(channel ? channel->logo : QString());
    const QByteArray type = imageType(file.fileName());
    if (!channel || type.isEmpty() || file.size() > logoLimitBytes || !file.open(QIODevice::ReadOnly)) {
        socket->write(TAVO_tuner_answer::refusal(404, QStringLiteral("no logo"), withBody));
    } else {
        socket->write(TAVO_tuner_answer::whole(200, type, file.read(logoLimitBytes), withBody, logoHeaders));
    }
    TAVO_mgr_streamSocket::closeAfterSending(socket);
}

// Whether the box could serve the channel now, without taking it: a refusal (status 0: none) for
// an encrypted box not served, a stream its reader would refuse, or a box playing another channel
// for a client. Each is known before a key goes to the box, and so none is sent for nothing.
TAVO_tuner_service::Refusal TAVO_tuner_service::refusalBeforeLock(const TAVO_tuner_box &box, const QString &number) const
{
    if (box.encrypted && !allowEncrypted)
        return {403, QStringLiteral("%1 sends an encrypted stream, which tavo-tuner serves only with --allow-encrypted").arg(box.name()),
                {}};
    if (TAVO_mgr_streamRequest::streamUrl(box.server).isEmpty())
        return {502, QStringLiteral("%1 names no port for its stream").arg(box.name()), {}};
    if (box.encrypted && TAVO_mgr_boxKey::isOtherKeyPinned(box.server.host)) {
        qCInfo(lcTunerService).noquote() << box.name() << TAVO_mgr_lineText::oneLine(TAVO_mgr_streamFailure::keyNotPinned(box.server.host).explanation);
        return {502, QStringLiteral("%1 is not served: the key pinned for its address is not a box's (the service's log says more)")
                         .arg(box.name()),
                {}};
    }
    const TAVO_tuner_session *running = sessions.value(box.id);
    if (running && running->number() != number && !running->isKeptForNobody())
        return {503, QStringLiteral("%1 is playing channel %2 for another client").arg(box.name(), running->number()),
                TAVO_tuner_answer::tunerInUse};
    return {0, {}, {}};
}

// A box whose lock was not taken: what a network client may know of it, while who holds the
// lock, and where, goes to the log only.
TAVO_tuner_service::Refusal TAVO_tuner_service::refusalOfLock(const TAVO_tuner_box &box, TAVO_mgr_boxLock::Outcome outcome,
                                                              const QString &detail)
{
    qCInfo(lcTunerService).noquote() << box.name() << box.id << detail;
    if (outcome == TAVO_mgr_boxLock::Outcome::Busy)
        return {503, QStringLiteral("%1 is busy: it is being recorded").arg(box.name()), TAVO_tuner_answer::tunerInUse};
    return {503, QStringLiteral("%1 cannot be locked for use (the service's log says why)").arg(box.name()), {}};
}

// What a GET would get, found without tuning anything: the box's lock is only tried.
TAVO_tuner_service::Refusal TAVO_tuner_service::refusalAsked(const TAVO_tuner_box &box, const QString &number) const
{
    const Refusal refusal = refusalBeforeLock(box, number);
    if (refusal.status != 0 || sessions.contains(box.id))
        return refusal;
    TAVO_mgr_boxLock lock(box.server.device.UDN);
    QString detail;
    const TAVO_mgr_boxLock::Outcome outcome = lock.acquire(&detail);
    return outcome == TAVO_mgr_boxLock::Outcome::Taken ? refusal : refusalOfLock(box, outcome, detail);
}

// The session of the box for the channel: the running one when it plays that channel, else a
// new one when the box is free (or only kept for a client coming back). nullptr with the refusal
// otherwise.
TAVO_tuner_session *TAVO_tuner_service::open(const TAVO_tuner_box &box, const QString &number, Refusal *refusal)
{
    *refusal = refusalBeforeLock(box, number);
    if (refusal->status != 0)
        return nullptr;
    if (TAVO_tuner_session *running = sessions.value(box.id)) {
        if (running->number() == number)
            return running;
        running->end();
    }
    auto *session = new TAVO_tuner_session(box, number, this);
    QString detail;
    const TAVO_mgr_boxLock::Outcome outcome = session->start(&detail);
    if (outcome != TAVO_mgr_boxLock::Outcome::Taken) {
        *refusal = refusalOfLock(box, outcome, detail);
        delete session;
        return nullptr;
    }
    sessions.insert(box.id, session);
    connect(session, &TAVO_tuner_session::failed, this, &TAVO_tuner_service::noteFailure);
    connect(session, &TAVO_tuner_session::finished, this, [this, session] {
        sessions.remove(session->boxId());
        session->deleteLater();
    });
    return session;
}

void TAVO_tuner_service::noteFailure(const QString &boxId, const QString &reason)
{
    QStringList &kept = failures[boxId];
    const QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + reason;
    if (!kept.isEmpty() && kept.last().mid(9) == reason)
        return;
    qCInfo(lcTunerService).noquote() << boxId << line;
    kept.append(line);
    while (kept.size() > failuresKept)
        kept.removeFirst();
}

QByteArray TAVO_tuner_service::statusPage()
{
    QList<TAVO_tuner_boxUse> uses;
    for (const TAVO_tuner_session *session : sessions)
        uses.append(session->use());
    holders.probe();
    QMap<QString, QString> heldBy;
    const QList<TAVO_tuner_box> boxes = lineup->boxes();
    for (const TAVO_tuner_box &box : boxes) {
        const QString holder = holders.otherRecorderOf(box.server.device.UDN);
        if (!holder.isEmpty())
            heldBy.insert(box.id, holder);
    }
    return TAVO_tuner_documents::statusPage(boxes, uses, failures, heldBy, refusals);
}

// The boxes offered to HDHomeRun clients: those whose streams are served. A TV server counts
// each as a tuner and would be refused by one it cannot use.
QList<TAVO_tuner_box> TAVO_tuner_service::tuners() const
{
    QList<TAVO_tuner_box> served = lineup->boxes();
    served.removeIf([this](const TAVO_tuner_box &box) { return box.encrypted && !allowEncrypted; });
    return served;
}

// The service's address as this client reached it: the one it can reach again.
QString TAVO_tuner_service::baseOf(const QTcpSocket *socket)
{
    const QHostAddress local = socket->localAddress();
    QString host = local.toString();
    if (local.protocol() == QAbstractSocket::IPv6Protocol) {
        QHostAddress plain = local;
        plain.setScopeId(QString());
        host = QLatin1Char('[') + plain.toString() + QLatin1Char(']');
    }
    return QLatin1String("http://") + host + QLatin1Char(':') + QString::number(socket->localPort());
}
