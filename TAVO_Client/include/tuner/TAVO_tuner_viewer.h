#ifndef TAVO_TUNER_VIEWER_H
#define TAVO_TUNER_VIEWER_H

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class TAVO_mgr_boxStream;
class TAVO_mgr_streamSocket;

// One client of a channel: its connection, which gets its own reader of the box's stream once
// the box is tuned (TAVO_mgr_streamSocket). The answer's head goes with the first packets, so that
// a stream that never comes is still refused with a status; a stream that flowed and ended is
// asked for again while the client waits. A client that takes less than the stream brings is
// dropped alone: the box and the other clients never wait for it.
class TAVO_tuner_viewer : public QObject
{
    Q_OBJECT

public:
    // Takes the socket; gone() follows once it closes. `userAgent`: what the client said it is.
    TAVO_tuner_viewer(QTcpSocket *socket, const QByteArray &userAgent, QObject *parent = nullptr);

    // Starts reading the box's stream (the box is tuned).
    void watch(TAVO_mgr_boxStream *stream);
    // Answers with a refusal and closes (the box could not be tuned).
    void refuse(int status, const QString &reason);

    QString who() const;
    QDateTime since() const { return started; }

Q_SIGNALS:
    // The stream did not come, or the client was dropped: why, for the status page.
    void failed(const QString &reason);
    void gone();

private:
    void close();

    QPointer<QTcpSocket> socket;  // until the stream's sending takes it over
    QPointer<TAVO_mgr_streamSocket> sending;
    QString address;
    QDateTime started = QDateTime::currentDateTime();
    bool closing = false;
};

#endif
