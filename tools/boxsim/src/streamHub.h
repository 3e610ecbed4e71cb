#pragma once

#include "encoderArguments.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

class QTcpSocket;

// The live stream of one box: a test pattern with the box's name, a running clock, the last
// key command and a marker that moves on with every key command, encoded once by ffmpeg (as
// the request asks, within what the box sends; see EncoderArguments) and copied to every
// viewer. The encoder starts with the first viewer and stops a little after the last one has
// gone, so idle boxes cost no CPU.
class StreamHub : public QObject
{
    Q_OBJECT

public:
    struct Knobs
    {
        // The box's own stream, which requests change within what the box offers.
        EncoderArguments::Stream defaults;
        // When set, the video the box sends whatever a request asks.
        QString forcedVideoCodec;
        // The writes to the viewers pause now and then, for up to this long (see pauseOrResume()).
        int hiccupPauseMs = 0;
        // The stream runs this many parts per million faster than the real clock (slower when negative).
        int clockPpm = 0;
        // This long after the encoder started, it starts again with another programme map.
        int programmeChangeAfterMs = 0;
    };

    StreamHub(const QString &friendlyName, const Knobs &knobs, QObject *parent = nullptr);
    ~StreamHub() override;

    // The socket has had its answer head; from now on it receives the stream. A request for
    // another stream than the one running restarts the box's one encoder with it, for every viewer.
    void addViewer(QTcpSocket *socket, const EncoderArguments::Request &request);
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
    void endStream();
    void changeProgramme();
    void forwardEncodedPackets();
    void dropViewer(QTcpSocket *socket);

    QString m_friendlyName;
    Knobs m_knobs;
    // What the encoder makes while it runs.
    EncoderArguments::Stream m_stream;
    QString m_lastKey;
    QString m_channel;
    int m_keyCommands = 0;
    bool m_paused = false;
    QTimer m_hiccupTimer;
    QTimer m_programmeTimer;
    QTemporaryDir m_overlayFolder;
    // One process for each run of the encoder: one that is replaced ends without ending the stream.
    QProcess *m_encoder = nullptr;
    QByteArray m_pending;
    QList<QPointer<QTcpSocket>> m_viewers;
    QTimer m_idleTimer;
};
