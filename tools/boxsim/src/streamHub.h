#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

class QTcpSocket;

// The live stream of one box: a test pattern with the box's name, a running clock, the last
// key command and a marker that moves on with every key command, encoded once by ffmpeg
// (MPEG-2 720p30 ~3 Mbit/s, AAC, MPEG-TS) and copied to every viewer. The encoder starts with
// the first viewer and stops a little after the last one has gone, so idle boxes cost no CPU.
class StreamHub : public QObject
{
    Q_OBJECT

public:
    // With `hiccupPauseMs` the writes to the viewers pause now and then, for up to that long (see
    // pauseOrResume()); the
    // stream runs `clockPpm` parts per million faster than the real clock (slower when negative);
    // with `frameNumber` every picture shows its number (see the README).
    StreamHub(const QString &friendlyName, int hiccupPauseMs, int clockPpm, bool frameNumber,
              QObject *parent = nullptr);
    ~StreamHub() override;

    // The socket has had its answer head; from now on it receives the stream.
    void addViewer(QTcpSocket *socket);
    void showKeyCommand(const QString &description);
    // The receiver's channel line under the last key ("Channel: 101 BBC One").
    void showChannel(const QString &line);
    // Ends the stream for every viewer now (they are sent what they have been given so far).
    // With midPacket, each viewer gets the first bytes of a packet before its connection ends.
    void dropAllViewers(bool midPacket = false);
    // Sends the present viewers nothing more, but leaves their connections open.
    void forgetViewers();

private:
    void writeOverlay();
    void writeMarker();
    void pauseOrResume();
    void startEncoder();
    void stopEncoder();
    void forwardEncodedPackets();
    void dropViewer(QTcpSocket *socket);
    QStringList encoderArguments() const;

    QString m_friendlyName;
    QString m_lastKey;
    QString m_channel;
    int m_keyCommands = 0;
    int m_hiccupPauseMs;
    int m_clockPpm;
    bool m_frameNumber;
    bool m_paused = false;
    QTimer m_hiccupTimer;
    QTemporaryDir m_overlayFolder;
    QProcess m_encoder;
    QByteArray m_pending;
    QList<QPointer<QTcpSocket>> m_viewers;
    QTimer m_idleTimer;
};
