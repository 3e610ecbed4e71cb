#ifndef TAVO_PLAYER_RECORDER_H
#define TAVO_PLAYER_RECORDER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class TAVO_player_vlcPlayer;
class TAVO_record_boxLock;

// Records the stream being watched into an MPEG-TS file in the user's videos folder, named
// after the box and the time. libVLC 3 cannot add an output to a running stream: the stream is
// started again, by its restart owner (TAVO_player_restartOwner), with an output chain that both shows it and writes its picture and sound, as
// they come, into the file (no encoding). The picture pauses for about a second when a
// recording starts and again when it ends, while the new player connects and fills its cache.
// libVLC closes the file whenever its player stops, so Stop, another Start, a lost stream and
// the end of the program all leave a complete file. While it records, it holds the box's lock, so
// that a recording command of the same box refuses and says so.
class TAVO_player_recorder : public QObject
{
    Q_OBJECT

public:
    // Progress is told this often while recording.
    static constexpr int progressMs = 1000;
    // The network cache of a recorded stream: 100 ms now and then gave the file repeated stamps
    // on a slow machine, 200 ms did not.
    static constexpr int networkCachingMs = 200;

    // `playingUdn` and `playingName` say which box's stream plays (empty while none does).
    TAVO_player_recorder(TAVO_player_vlcPlayer *player, std::function<QString()> playingUdn,
                         std::function<QString()> playingName, QObject *parent = nullptr);
    ~TAVO_player_recorder() override;

    bool isRecording() const;
    // libVLC's output chain that shows the stream and writes it into `path`.
    static QByteArray outputChain(const QString &path);

    void toggle();
    // The stream being watched is now that of `udn`, or none (empty): a recording of another
    // stream has ended with it.
    void streamChanged(const QString &udn);

Q_SIGNALS:
    // Asks the restart owner to start the stream of `udn` again for a recording that begins or
    // ends: the player has the options for it.
    void startAgainWanted(const QString &udn, bool recording);
    void recordingChanged(bool recording);
    void progress(const QString &path, qint64 elapsedMs, qint64 bytes);
    // One line for the status line: a recording began, ended, or cannot begin.
    void status(const QString &text);
    // The recording could not begin or go on: a message for the user, and why.
    void failed(const QString &what, const QString &reason);

private:
    void start();
    void end(const QString &why);
    // libVLC could not write the file: the recording ends, and the user hears why.
    void writeFailed(const QString &reason);
    void tellProgress();
    // Clears the recording and gives the line that says it ended, and why when not by the user.
    QString endedText(const QString &why);
    void sayAgainWhenBack(const QString &text);
    void lockBox(const QString &udn);

    TAVO_player_vlcPlayer *player;
    std::function<QString()> playingUdn;
    std::function<QString()> playingName;
    QString path;           // the file being written; empty while not recording
    QString recordedUdn;    // the box whose stream is recorded
    std::unique_ptr<TAVO_record_boxLock> boxLock;  // held while recording, unless a command held it first
    QElapsedTimer elapsed;
    QTimer ticker;
    // Said again once the stream that the recorder started again plays.
    QString sayWhenBack;
};

#endif
