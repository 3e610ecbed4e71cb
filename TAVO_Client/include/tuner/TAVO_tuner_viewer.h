#ifndef TAVO_TUNER_VIEWER_H
#define TAVO_TUNER_VIEWER_H

#include "TAVO_mgr_streamFailure.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class TAVO_mgr_boxStream;
class TAVO_mgr_streamTap;

// One client of a channel: its connection and its own reader of the box's stream. The answer's
// head goes with the first packets, so that a stream that never comes is still refused with a
// status. A client that takes less than the stream brings is dropped once its unsent bytes pass
// the bound, alone: the box and the other clients never wait for it.
class TAVO_tuner_viewer : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 unsentLimitBytes = 4 * 1024 * 1024;

    // Takes the socket; gone() follows once it closes.
    explicit TAVO_tuner_viewer(QTcpSocket *socket, QObject *parent = nullptr);
    ~TAVO_tuner_viewer() override;

    // Starts reading the box's stream (the box is tuned).
    void watch(TAVO_mgr_boxStream *stream);
    // Answers with a refusal and closes (the box could not be tuned).
    void refuse(int status, const QString &reason);

    QString who() const;
    QDateTime since() const { return started; }

Q_SIGNALS:
    // The stream did not come, or stopped: why, for the status page.
    void failed(const QString &reason);
    void gone();

private:
    void send(const QByteArray &packets);
    void streamEnded(const TAVO_mgr_streamFailure &failure);
    void close();

    QPointer<QTcpSocket> socket;
    TAVO_mgr_streamTap *tap = nullptr;
    QString address;
    QDateTime started = QDateTime::currentDateTime();
    bool answered = false;
    bool closing = false;
};

#endif
