#include "TAVO_mgr_boxStream.h"

#include "TAVO_mgr_boxConnection.h"
#include "TAVO_mgr_streamRequest.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcBoxStream, "tavo.core.stream", QtWarningMsg)

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
    for (QTimer *timer : {&entryLimit, &askTimer, &grace})
        timer->setSingleShot(true);
    connect(&entryLimit, &QTimer::timeout, this, [this] {
        endConnection(TAVO_mgr_streamFailure::because(
            QStringLiteral("the box sent nothing a player can start at within %1 s").arg(entryLimitMs / 1000),
            QStringLiteral("Its stream may be of a kind this program does not read."), TAVO_mgr_streamFailure::Kind::NotTransportStream));
    });
    connect(&askTimer, &QTimer::timeout, this, &TAVO_mgr_boxStream::ask);
    connect(&grace, &QTimer::timeout, this, &TAVO_mgr_boxStream::closeIfUnread);
    // The connection goes while the program still runs: Qt's TLS layer cannot close it once the
    // application object is gone.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { delete this; });
}

TAVO_mgr_boxStream::~TAVO_mgr_boxStream()
{
    delete connection;
    if (openStreams().value(server.device.UDN) == this)
        openStreams().remove(server.device.UDN);
}

TAVO_mgr_streamTap *TAVO_mgr_boxStream::join(QObject *owner)
{
    auto *tap = new TAVO_mgr_streamTap(this, owner);
    fanOut.add(tap);
    grace.stop();
    if (connection) {
        // Once the joiner has connected to the tap, it gets the newest entry point at once.
        QTimer::singleShot(0, tap, [stream = QPointer<TAVO_mgr_boxStream>(this), tap] {
            if (stream)
                stream->fanOut.startLate(tap);
        });
    } else if (!askTimer.isActive()) {
        ask();
    }
    return tap;
}

void TAVO_mgr_boxStream::ask()
{
    askTimer.stop();
    if (url.isEmpty()) {
        // Told once the reader that asked has connected to its tap.
        QTimer::singleShot(0, this, [this] {
            fanOut.end(TAVO_mgr_streamFailure::because(QStringLiteral("the box names no port for its stream"),
                                                        QStringLiteral("Its description may be incomplete.")));
        });
        return;
    }
    qCDebug(lcBoxStream) << "Asking" << server.device.friendlyName << "for its stream";
    cutter.reset();
    flowing = false;
    connection = new TAVO_mgr_boxConnection(server, url, this);
    connect(connection, &TAVO_mgr_boxConnection::arrived, this, &TAVO_mgr_boxStream::arrived);
    connect(connection, &TAVO_mgr_boxConnection::ended, this, &TAVO_mgr_boxStream::connectionEnded);
    connection->setHeld(fanOut.isHeld());
    entryLimit.start(entryLimitMs);
}

void TAVO_mgr_boxStream::arrived(const QByteArray &bytes)
{
    const QByteArray packets = cutter.add(bytes);
    if (cutter.unsyncedBytes() > TAVO_mgr_packetCutter::unsyncedLimitBytes) {
        endConnection(TAVO_mgr_streamFailure::notTransportStream(cutter.unsyncedBytes()));
        return;
    }
    if (packets.isEmpty())
        return;
    if (!flowing) {
        flowing = true;
        connection->setFlowing();
    }
    fanOut.take(packets);
    if (fanOut.hasStarted() && entryLimit.isActive()) {
        entryLimit.stop();
        backOff.reset();
    }
}

void TAVO_mgr_boxStream::connectionEnded(const TAVO_mgr_streamFailure &told)
{
    connection = nullptr;  // it deletes itself
    const TAVO_mgr_streamFailure failure = failureOf(told);
    fanOut.take(cutter.finish());
    tellEnd(failure);
}

// The connection is given up here: it goes without a word.
void TAVO_mgr_boxStream::endConnection(const TAVO_mgr_streamFailure &failure)
{
    if (!connection)
        return;
    connection->disconnect(this);
    connection->deleteLater();
    connection = nullptr;
    cutter.reset();
    tellEnd(failure);
}

void TAVO_mgr_boxStream::tellEnd(const TAVO_mgr_streamFailure &failure)
{
    entryLimit.stop();
    qCDebug(lcBoxStream) << "The stream of" << server.device.friendlyName << "ended:" << failure.reason;
    askAgainIfWanted();
    fanOut.end(failure);
}

// A stream that flowed and ended is no failure of the box's; bytes that never made a packet are
// no stream at all, whatever the box said as it closed.
TAVO_mgr_streamFailure TAVO_mgr_boxStream::failureOf(const TAVO_mgr_streamFailure &told) const
{
    if (flowing)
        return TAVO_mgr_streamFailure();
    const bool saidWhy = told.kind == TAVO_mgr_streamFailure::Kind::KeyNotPinned
                         || told.kind == TAVO_mgr_streamFailure::Kind::Credentials
                         || told.kind == TAVO_mgr_streamFailure::Kind::HttpStatus;
    if (!saidWhy && cutter.unsyncedBytes() > 0)
        return TAVO_mgr_streamFailure::notTransportStream(cutter.unsyncedBytes());
    return told;
}

void TAVO_mgr_boxStream::askAgainIfWanted()
{
    const QList<TAVO_mgr_streamTap *> &readers = fanOut.readers();
    if (std::any_of(readers.cbegin(), readers.cend(), [](const TAVO_mgr_streamTap *tap) { return tap->keepAsking; }))
        askTimer.start(backOff.next());
}

void TAVO_mgr_boxStream::leave(TAVO_mgr_streamTap *tap)
{
    fanOut.remove(tap);
    if (fanOut.readers().isEmpty() && !QCoreApplication::closingDown())
        grace.start(graceMs);
    holdChanged();
}

void TAVO_mgr_boxStream::holdChanged()
{
    if (connection)
        connection->setHeld(fanOut.isHeld());
}

// Once it is closing, the stream is no longer found: a reader that joins now gets a new one.
void TAVO_mgr_boxStream::closeIfUnread()
{
    if (!fanOut.readers().isEmpty())
        return;
    if (openStreams().value(server.device.UDN) == this)
        openStreams().remove(server.device.UDN);
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

void TAVO_mgr_streamTap::setKeepAsking(bool keep)
{
    keepAsking = keep;
}

int TAVO_mgr_streamTap::askingAgainInMs() const
{
    return box && box->askTimer.isActive() ? box->askTimer.remainingTime() : -1;
}

void TAVO_mgr_streamTap::hold(bool nowHolding)
{
    holding = nowHolding;
    if (box)
        box->holdChanged();
}

void TAVO_mgr_streamTap::give(const QByteArray &packets)
{
    given += packets.size();
    Q_EMIT this->packets(packets);
}
