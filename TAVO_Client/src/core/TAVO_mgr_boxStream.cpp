#include "TAVO_mgr_boxStream.h"

#include "TAVO_mgr_streamRequest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QUrl>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcBoxStream, "tavo.core.stream", QtWarningMsg)

constexpr int packetSize = TAVO_mgr_tsEntry::packetSize;
// A stream whose bytes hold no packet boundary for this long is not a transport stream (an
// error page, packets of another size); a transport stream shows one within two packets.
constexpr qint64 unsyncedLimitBytes = 64 * 1024;

QHash<QString, TAVO_mgr_boxStream *> &openStreams()
{
    static QHash<QString, TAVO_mgr_boxStream *> streams;
    return streams;
}

} // namespace

TAVO_mgr_boxStream *TAVO_mgr_boxStream::of(const TAVO_SERVER &server)
{
    TAVO_mgr_boxStream *&stream = openStreams()[server.device.UDN];
    if (!stream)
        stream = new TAVO_mgr_boxStream(server);
    else if (!stream->isOpen())
        stream->server = server;  // the box may have moved since
    stream->url = TAVO_mgr_streamRequest::streamUrl(stream->server);
    return stream;
}

TAVO_mgr_boxStream *TAVO_mgr_boxStream::find(const QString &udn)
{
    return openStreams().value(udn);
}

TAVO_mgr_boxStream::TAVO_mgr_boxStream(const TAVO_SERVER &server)
    : QObject(QCoreApplication::instance())
    , server(server)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    silence.setSingleShot(true);
    connect(&silence, &QTimer::timeout, this, &TAVO_mgr_boxStream::heardNothing);
    grace.setSingleShot(true);
    connect(&grace, &QTimer::timeout, this, &TAVO_mgr_boxStream::closeIfUnread);
    // The connection goes while the program still runs: Qt's TLS layer cannot close it once the
    // application object is gone.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { delete this; });
}

TAVO_mgr_boxStream::~TAVO_mgr_boxStream()
{
    drop();
    openStreams().remove(server.device.UDN);
}

TAVO_mgr_streamTap *TAVO_mgr_boxStream::join(QObject *owner)
{
    auto *tap = new TAVO_mgr_streamTap(this, owner);
    readers.append(tap);
    grace.stop();
    if (!reply) {
        ask();
    } else if (!kept.isEmpty()) {
        // Once the joiner has connected to the tap, it gets the newest entry point at once.
        QTimer::singleShot(0, tap, [this, tap] {
            if (tap->started || kept.isEmpty())
                return;
            tap->started = true;
            tap->give(entry.tables() + kept);
        });
    }
    return tap;
}

void TAVO_mgr_boxStream::ask()
{
    // Told once the reader that asked has connected to its tap.
    if (url.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            endWith(TAVO_mgr_streamFailure::because(QStringLiteral("the box names no port for its stream"),
                                                    QStringLiteral("Its description may be incomplete.")));
        });
        return;
    }
    partial.clear();
    unsynced = 0;
    entry.reset();
    kept.clear();
    clockShift = -1;
    flowing = false;
    keyMismatch = false;
    const QUrl location(url);
    QNetworkRequest request(location.adjusted(QUrl::RemoveUserInfo));
    if (!location.userName().isEmpty())
        request.setRawHeader("Authorization", "Basic "
                                                  + (location.userName() + QLatin1Char(':') + location.password())
                                                        .toUtf8()
                                                        .toBase64());
    qCDebug(lcBoxStream) << "Asking" << server.device.friendlyName << "for its stream";
    reply = network.get(request);
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QNetworkReply::readyRead, this, &TAVO_mgr_boxStream::bytesArrived);
    connect(reply, &QNetworkReply::finished, this, &TAVO_mgr_boxStream::connectionEnded);
    connect(reply, &QNetworkReply::sslErrors, this, &TAVO_mgr_boxStream::checkPeerKey);
    connect(reply, &QNetworkReply::encrypted, this, [this] {
        if (!peerKeyIsPinned()) {
            keyMismatch = true;
            reply->abort();
        }
    });
    silence.start(answerLimitMs);
}

// The connection is closed without a word to the readers.
void TAVO_mgr_boxStream::drop()
{
    silence.stop();
    if (!reply)
        return;
    reply->disconnect(this);
    if (!reply->isFinished())
        reply->abort();
    reply->deleteLater();
    reply = nullptr;
}

void TAVO_mgr_boxStream::bytesArrived()
{
    if (!reply || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200 || isHeld())
        return;
    const QByteArray bytes = reply->readAll();
    partial.append(bytes);
    takeWholePackets();
    if (!reply)
        return;
    if (unsynced > unsyncedLimitBytes && !flowing) {
        endWith(TAVO_mgr_streamFailure::notTransportStream(unsynced));
        return;
    }
    if (flowing)
        silence.start(stallLimitMs);
}

// Packets are taken at their sync bytes; bytes between packets (a stream that lost some) are
// skipped up to the next packet boundary.
void TAVO_mgr_boxStream::takeWholePackets()
{
    qsizetype at = 0;
    while (partial.size() - at >= packetSize) {
        if (partial.at(at) != TAVO_mgr_tsEntry::syncByte) {
            ++at;
            ++unsynced;
            continue;
        }
        unsynced = 0;
        take(partial.constData() + at);
        at += packetSize;
    }
    partial.remove(0, at);
    giveBatch();
}

void TAVO_mgr_boxStream::take(const char *packet)
{
    const TAVO_mgr_tsEntry::Kind kind = entry.take(packet);
    if (kind == TAVO_mgr_tsEntry::Kind::Entry) {
        giveBatch();
        kept.clear();
        // The reader's own cache (a player's network cache) is the margin for the track furthest
        // behind, which comes just in time by this clock.
        if (clockShift < 0)
            clockShift = std::max<qint64>(0, entry.leastLead().value_or(0));
        startWaitingReaders();
    }
    if (kind == TAVO_mgr_tsEntry::Kind::Entry || !kept.isEmpty()) {
        kept.append(packet, packetSize);
        if (kept.size() > keptLimitBytes)
            kept.clear();
    }
    batch.append(packet, packetSize);
}

// Readers waiting for an entry point get the tables first; the entry point follows in the batch.
void TAVO_mgr_boxStream::startWaitingReaders()
{
    const QByteArray tables = entry.tables();
    for (TAVO_mgr_streamTap *tap : std::as_const(readers)) {
        if (!tap->started) {
            tap->started = true;
            tap->pendingTables = tables;
        }
    }
}

void TAVO_mgr_boxStream::giveBatch()
{
    if (batch.isEmpty())
        return;
    flowing = true;
    const QByteArray packets = std::exchange(batch, QByteArray());
    // A reader may leave, and another join, while it is given its share.
    const QList<QPointer<TAVO_mgr_streamTap>> taps(readers.cbegin(), readers.cend());
    for (const QPointer<TAVO_mgr_streamTap> &tap : taps) {
        if (tap && tap->started)
            tap->give(std::exchange(tap->pendingTables, QByteArray()) + packets);
    }
}

void TAVO_mgr_boxStream::connectionEnded()
{
    auto *ended = qobject_cast<QNetworkReply *>(sender());
    if (ended)
        ended->deleteLater();
    if (!ended || ended != reply)
        return;
    giveBatch();
    endWith(flowing ? TAVO_mgr_streamFailure() : failureOf(ended));
}

void TAVO_mgr_boxStream::heardNothing()
{
    // A reader that holds the stream keeps it waiting; the box is not to blame.
    if (isHeld()) {
        silence.start(stallLimitMs);
        return;
    }
    endWith(flowing ? TAVO_mgr_streamFailure::stalled(stallLimitMs) : TAVO_mgr_streamFailure::noAnswer(answerLimitMs));
}

TAVO_mgr_streamFailure TAVO_mgr_boxStream::failureOf(QNetworkReply *ended) const
{
    const int status = ended->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (keyMismatch)
        return TAVO_mgr_streamFailure::keyNotPinned(server.host);
    if (status == 401)
        return TAVO_mgr_streamFailure::credentialsRefused();
    if (status != 0 && status != 200)
        return TAVO_mgr_streamFailure::httpStatus(status);
    if (unsynced + partial.size() > 0)
        return TAVO_mgr_streamFailure::notTransportStream(unsynced + partial.size());
    switch (ended->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return TAVO_mgr_streamFailure::connectionRefused();
    case QNetworkReply::TimeoutError:
    case QNetworkReply::HostNotFoundError:
        return TAVO_mgr_streamFailure::timedOut();
    default:
        return TAVO_mgr_streamFailure::because(QStringLiteral("the box closed the connection without a stream"),
                                               QStringLiteral("Try again in a moment."));
    }
}

void TAVO_mgr_boxStream::endWith(const TAVO_mgr_streamFailure &why)
{
    qCDebug(lcBoxStream) << "The stream of" << server.device.friendlyName << "ended:" << why.reason;
    drop();
    flowing = false;
    partial.clear();
    batch.clear();
    kept.clear();
    const QList<QPointer<TAVO_mgr_streamTap>> taps(readers.cbegin(), readers.cend());
    for (const QPointer<TAVO_mgr_streamTap> &tap : taps) {
        if (!tap)
            continue;
        tap->started = false;
        tap->pendingTables.clear();
        Q_EMIT tap->ended(why);
    }
}

// The box's certificate is its own, signed by nobody; what vouches for it is its key, pinned
// in the known-hosts file.
void TAVO_mgr_boxStream::checkPeerKey(const QList<QSslError> &errors)
{
    if (reply && peerKeyIsPinned())
        reply->ignoreSslErrors(errors);
    else
        keyMismatch = true;
}

bool TAVO_mgr_boxStream::peerKeyIsPinned() const
{
    QFile knownHosts(QDir::homePath() + QLatin1String("/.gnutls/known_hosts"));
    if (!reply || !knownHosts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pinned = pinnedKey(knownHosts.readAll(), server.host);
    const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
    return !pinned.isEmpty() && !peer.isNull() && peer.publicKey().toDer().toBase64() == pinned;
}

QByteArray TAVO_mgr_boxStream::pinnedKey(const QByteArray &knownHosts, const QString &host)
{
    const QByteArray prefix = TAVO_mgr_streamRequest::knownHostsLine(host).toUtf8();
    const QByteArray hostPart = prefix.left(prefix.indexOf("|https|") + 7);
    for (const QByteArray &line : knownHosts.split('\n')) {
        if (line.startsWith(hostPart))
            return line.mid(line.lastIndexOf('|') + 1).trimmed();
    }
    return QByteArray();
}

void TAVO_mgr_boxStream::leave(TAVO_mgr_streamTap *tap)
{
    readers.removeAll(tap);
    if (readers.isEmpty() && !QCoreApplication::closingDown())
        grace.start(graceMs);
}

bool TAVO_mgr_boxStream::isHeld() const
{
    return std::any_of(readers.cbegin(), readers.cend(), [](const TAVO_mgr_streamTap *tap) { return tap->holding; });
}

void TAVO_mgr_boxStream::closeIfUnread()
{
    if (readers.isEmpty())
        deleteLater();
}

TAVO_mgr_streamTap::TAVO_mgr_streamTap(TAVO_mgr_boxStream *box, QObject *owner)
    : QObject(owner)
    , box(box)
{
}

TAVO_mgr_streamTap::~TAVO_mgr_streamTap()
{
    if (box)
        box->leave(this);
}

void TAVO_mgr_streamTap::again()
{
    if (box && !box->reply)
        box->ask();
}

void TAVO_mgr_streamTap::hold(bool nowHolding)
{
    holding = nowHolding;
    // What the connection kept meanwhile is read once nobody holds it.
    if (!holding && box)
        QTimer::singleShot(0, box, &TAVO_mgr_boxStream::bytesArrived);
}

void TAVO_mgr_streamTap::give(const QByteArray &packets)
{
    given += packets.size();
    if (clock == Clock::AsSent || box->clockShift <= 0) {
        Q_EMIT this->packets(packets);
        return;
    }
    QByteArray shifted = packets;
    box->entry.shiftClock(shifted, box->clockShift);
    Q_EMIT this->packets(shifted);
}
