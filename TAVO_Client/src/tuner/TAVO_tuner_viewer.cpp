#include "TAVO_tuner_viewer.h"

#include "TAVO_mgr_boxStream.h"
#include "TAVO_tuner_request.h"

#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTunerViewer, "tavo.tuner.viewer", QtInfoMsg)

TAVO_tuner_viewer::TAVO_tuner_viewer(QTcpSocket *socket, QObject *parent)
    : QObject(parent)
    , socket(socket)
{
    socket->setParent(this);
    const QHostAddress peer = socket->peerAddress();
    address = (peer.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + peer.toString() + QLatin1Char(']')
                                                                 : peer.toString())
              + QLatin1Char(':') + QString::number(socket->peerPort());
    // Whatever a client sends once it asked is read only to be dropped: reading sees it go.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::disconnected, this, &TAVO_tuner_viewer::close);
    connect(socket, &QTcpSocket::errorOccurred, this, &TAVO_tuner_viewer::close);
}

TAVO_tuner_viewer::~TAVO_tuner_viewer()
{
    delete tap;
}

QString TAVO_tuner_viewer::who() const
{
    return address;
}

void TAVO_tuner_viewer::watch(TAVO_mgr_boxStream *stream)
{
    if (closing || tap)
        return;
    tap = stream->join(this);
    connect(tap, &TAVO_mgr_streamTap::packets, this, &TAVO_tuner_viewer::send);
    connect(tap, &TAVO_mgr_streamTap::ended, this, &TAVO_tuner_viewer::streamEnded);
}

void TAVO_tuner_viewer::refuse(int status, const QString &reason)
{
    if (closing)
        return;
    if (!answered && socket)
        socket->write(TAVO_tuner_answer::refusal(status, reason));
    answered = true;
    close();
}

void TAVO_tuner_viewer::send(const QByteArray &packets)
{
    if (closing || !socket)
        return;
    if (!answered) {
        answered = true;
        socket->write(TAVO_tuner_answer::head(200, "video/mp2t"));
    }
    if (socket->bytesToWrite() + packets.size() > unsentLimitBytes) {
        qCInfo(lcTunerViewer).noquote() << "Dropping" << address << "which takes the stream slower than it comes";
        Q_EMIT failed(QStringLiteral("%1 took the stream too slowly and was dropped").arg(address));
        socket->abort();
        close();
        return;
    }
    socket->write(packets);
}

// A stream that flowed and ended is asked for again; one that did not come is refused.
void TAVO_tuner_viewer::streamEnded(const TAVO_mgr_streamFailure &failure)
{
    if (failure.isEmpty()) {
        tap->again();
        return;
    }
    Q_EMIT failed(failure.reason);
    refuse(502, failure.reason);
}

void TAVO_tuner_viewer::close()
{
    if (closing)
        return;
    closing = true;
    delete tap;
    tap = nullptr;
    if (socket)
        TAVO_tuner_answer::closeAfterSending(socket);
    Q_EMIT gone();
}
