#include "TAVO_mgr_streamSocket.h"

#include "TAVO_mgr_boxStream.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcStreamSocket, "tavo.core.stream.socket", QtWarningMsg)

} // namespace

TAVO_mgr_streamSocket::TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, QObject *parent)
    : TAVO_mgr_streamSocket(socket, tap, Answers(), parent)
{
}

TAVO_mgr_streamSocket::TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, Answers answers,
                                             QObject *parent)
    : QObject(parent)
    , socket(socket)
    , tap(tap)
    , answers(std::move(answers))
{
    socket->setParent(this);
    tap->setParent(this);
    tap->setKeepAsking(this->answers.askAgainAfterLoss);
    rejoinLimit.setSingleShot(true);
    connect(&rejoinLimit, &QTimer::timeout, this, [this] {
        finish(QStringLiteral("the box did not send its stream again within %1 s").arg(rejoinLimitMs / 1000));
    });
    connect(tap, &TAVO_mgr_streamTap::packets, this, &TAVO_mgr_streamSocket::take);
    connect(tap, &TAVO_mgr_streamTap::ended, this, &TAVO_mgr_streamSocket::streamEnded);
    connect(socket, &QTcpSocket::disconnected, this, [this] { finish(QString()); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { finish(QString()); });
    // What the client sends after its request is not read; it must not pile up either.
    connect(socket, &QTcpSocket::readyRead, this, [this] { this->socket->skip(this->socket->bytesAvailable()); });
}

void TAVO_mgr_streamSocket::pace()
{
    pacer = std::make_unique<TAVO_mgr_streamPacer>();
    pacerClock.start();
    pacerTimer.setSingleShot(true);
    pacerTimer.setTimerType(Qt::PreciseTimer);
    connect(&pacerTimer, &QTimer::timeout, this, &TAVO_mgr_streamSocket::sendDue);
}

void TAVO_mgr_streamSocket::take(const QByteArray &packets)
{
    if (!pacer) {
        send(packets);
        return;
    }
    rejoinLimit.stop();
    pacer->take(packets, pacerClock.elapsed());
    sendDue();
}

void TAVO_mgr_streamSocket::sendDue()
{
    const qint64 now = pacerClock.elapsed();
    const QByteArray due = pacer->takeDue(now);
    if (!due.isEmpty())
        send(due);
    if (const std::optional<qint64> next = pacer->nextDueMs(); next && !done)
        pacerTimer.start(int(std::max<qint64>(0, *next - now)));
}

void TAVO_mgr_streamSocket::send(const QByteArray &packets)
{
    if (done || !socket)
        return;
    rejoinLimit.stop();
    if (socket->bytesToWrite() + packets.size() > backlogLimitBytes) {
        const QString why = QStringLiteral("%1 took the stream more slowly than it came and was dropped")
                                .arg(socket->peerAddress().toString());
        qCDebug(lcStreamSocket).noquote() << why;
        socket->abort();
        finish(why);
        return;
    }
    if (!answered) {
        answered = true;
        socket->write(answers.head);
    }
    socket->write(packets);
}

void TAVO_mgr_streamSocket::streamEnded(const TAVO_mgr_streamFailure &failure)
{
    if (done)
        return;
    if (pacer) {
        pacerTimer.stop();
        if (const QByteArray held = pacer->takeAll(); !held.isEmpty())
            send(held);
        if (done)
            return;
    }
    // The reader asks the box again meanwhile.
    if (answered && answers.askAgainAfterLoss) {
        if (!rejoinLimit.isActive())
            rejoinLimit.start(rejoinLimitMs);
        return;
    }
    if (!answered && !failure.isEmpty()) {
        Q_EMIT refused(failure);
        if (answers.refusal && socket)
            socket->write(answers.refusal(failure));
    }
    finish(failure.reason);
}

void TAVO_mgr_streamSocket::finish(const QString &why)
{
    if (done)
        return;
    done = true;
    pacerTimer.stop();
    tap->disconnect(this);
    if (socket) {
        socket->disconnect(this);
        closeAfterSending(socket);
    }
    Q_EMIT finished(why);
    deleteLater();
}

void TAVO_mgr_streamSocket::closeAfterSending(QTcpSocket *socket)
{
    socket->setParent(nullptr);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    QTimer::singleShot(closeLimitMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}
