#include "TAVO_tuner_viewer.h"

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_streamSocket.h"
#include "TAVO_tuner_request.h"

TAVO_tuner_viewer::TAVO_tuner_viewer(QTcpSocket *socket, const QByteArray &userAgent, QObject *parent)
    : QObject(parent)
    , socket(socket)
{
    socket->setParent(this);
    const QHostAddress peer = socket->peerAddress();
    address = (peer.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + peer.toString() + QLatin1Char(']')
                                                                 : peer.toString())
              + QLatin1Char(':') + QString::number(socket->peerPort());
    address = TAVO_tuner_request::clientName(userAgent, address);
    // Whatever a client sends once it asked is read only to be dropped: reading sees it go.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::disconnected, this, &TAVO_tuner_viewer::close);
    connect(socket, &QTcpSocket::errorOccurred, this, &TAVO_tuner_viewer::close);
}

QString TAVO_tuner_viewer::who() const
{
    return address;
}

void TAVO_tuner_viewer::watch(TAVO_mgr_boxStream *stream)
{
    if (closing || sending || !socket)
        return;
    socket->disconnect(this);
    TAVO_mgr_streamSocket::Answers answers;
    answers.head = TAVO_tuner_answer::head(200, "video/mp2t");
    answers.refusal = [](const TAVO_mgr_streamFailure &failure) { return TAVO_tuner_answer::refusal(502, failure.reason); };
    answers.askAgainAfterLoss = true;
    sending = new TAVO_mgr_streamSocket(socket, stream->join(this), answers, this);
    connect(sending, &TAVO_mgr_streamSocket::finished, this, [this](const QString &why) {
        if (!why.isEmpty())
            Q_EMIT failed(why);
        close();
    });
}

void TAVO_tuner_viewer::refuse(int status, const QString &reason)
{
    if (closing || sending || !socket)
        return;
    socket->write(TAVO_tuner_answer::refusal(status, reason));
    close();
}

void TAVO_tuner_viewer::close()
{
    if (closing)
        return;
    closing = true;
    if (socket && !sending) {
        socket->disconnect(this);
        TAVO_mgr_streamSocket::closeAfterSending(socket);
    }
    Q_EMIT gone();
}
