#ifndef TAVO_PLAYER_VLCLOG_H
#define TAVO_PLAYER_VLCLOG_H

#include "TAVO_mgr_streamFailure.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

class TAVO_player_soundDevice;

// Reads the error lines libVLC writes while it plays, and tells each kind to whoever listens:
// the sound device it could not open, the delay it raised, a recording's file it could not write.
// The lines it keeps tell why a start failed. Its lines quote the stream location, and the
// encrypted stream's location holds the box's password, which is hidden before a line goes
// anywhere. Lines of libVLC's ordinary work on a live stream, and its doubt of a box's key that
// the pinning answers, stay off the terminal (category "tavo.player.vlc"); every other error is
// written there as libVLC would write it itself, its control characters replaced.
class TAVO_player_vlcLog : public QObject
{
    Q_OBJECT

public:
    using Failure = TAVO_mgr_streamFailure;

    // Lines about sound outputs are expected once `soundDevice` is known to be missing.
    explicit TAVO_player_vlcLog(const TAVO_player_soundDevice *soundDevice, QObject *parent = nullptr);

    // One line libVLC wrote at its error level, from an object of `objectType` ("audio output",
    // "decoder", …; may be null). Called on libVLC's threads: listeners that live on the GUI thread
    // hear of it there.
    void errorLine(const char *objectType, const char *text);
    // A new stream begins: what libVLC said of the last one no longer counts.
    void newStream();
    // The delay libVLC raised the stream's to, in ms: it does when the stream comes late to it, and
    // never lowers it within the stream. 0 while it has not.
    int raisedDelayMs() const;
    // Why the stream's start failed, as far as its error lines tell, for the box at `host`; empty
    // when they do not tell.
    Failure failure(const QString &host) const;

Q_SIGNALS:
    // libVLC could not open an audio output to play the stream's sound into.
    void soundOutputFailed();
    void delayRaised(int delayMs);
    // libVLC's file output could not write a recording ("No space left on device").
    void fileWriteFailed(const QString &reason);

private:
    bool isExpectedSoundLine(const char *objectType, const char *text) const;
    bool noteRaisedDelay(const char *text);
    void keep(const QString &line);

    const TAVO_player_soundDevice *soundDevice;
    std::atomic_int raisedDelay{0};
    mutable std::mutex linesLock;
    QStringList lines;
};

#endif
