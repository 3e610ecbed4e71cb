#ifndef TAVO_PLAYER_RECORDER_H
#define TAVO_PLAYER_RECORDER_H

#include "TAVO_mgr_streamFailure.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class TAVO_mgr_streamTap;
class TAVO_player_vlcPlayer;
class TAVO_mgr_boxLock;
class TAVO_mgr_backgroundWriter;

// Records the stream being watched into an MPEG-TS file in the user's videos folder, named
// after the box and the time. It is one more reader of the box's stream beside the player
// (TAVO_mgr_boxStream): the picture goes on as it was when a recording begins or ends, and the
// file begins with the stream's tables and a picture that decodes alone. The packets are written
// as the box sent them, whole, on a thread of their own; the file ends on a whole picture. While it records, it holds the
// box's lock, so that a recording command of the same box refuses and says so.
class TAVO_player_recorder : public QObject
{
    Q_OBJECT

public:
    // Progress is told this often while recording.
    static constexpr int progressMs = 1000;

    // `playingUdn` and `playingName` say which box's stream plays (empty while none does).
    TAVO_player_recorder(TAVO_player_vlcPlayer *player, std::function<QString()> playingUdn,
                         std::function<QString()> playingName, QObject *parent = nullptr);
    ~TAVO_player_recorder() override;

    bool isRecording() const;

    void toggle();
    // The stream being watched is now that of `udn`, or none (empty): a recording of another
    // stream has ended with it.
    void streamChanged(const QString &udn);

Q_SIGNALS:
    void recordingChanged(bool recording);
    void progress(const QString &path, qint64 elapsedMs, qint64 bytes);
    // One line for the status line: a recording began, ended, or cannot begin.
    void status(const QString &text);
    // The recording could not begin or go on: a message for the user, and why.
    void failed(const QString &what, const QString &reason);

private:
    void start();
    bool openFile();
    void streamEnded();
    void end(const QString &why);
    QString closeFile();
    // The file could not be written: the recording ends, and the user hears why.
    void writeFailed(const QString &reason);
    void tellProgress();
    void lockBox(const QString &udn);

    TAVO_player_vlcPlayer *player;
    std::function<QString()> playingUdn;
    std::function<QString()> playingName;
    QString path;           // the file being written; empty while not recording
    QString recordedUdn;    // the box whose stream is recorded
    std::unique_ptr<TAVO_mgr_backgroundWriter> writer;
    QPointer<TAVO_mgr_streamTap> tap;
    std::unique_ptr<TAVO_mgr_boxLock> boxLock;  // held while recording, unless a command held it first
    QElapsedTimer elapsed;
    QTimer ticker;
};

#endif
