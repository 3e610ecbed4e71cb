#include "TAVO_player_recorder.h"

#include "TAVO_mgr_backgroundWriter.h"
#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_savedFiles.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_mgr_boxLock.h"

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRecorder, "tavo.player.recorder", QtInfoMsg)

TAVO_player_recorder::TAVO_player_recorder(TAVO_player_vlcPlayer *player, std::function<QString()> playingUdn,
                                           std::function<QString()> playingName, QObject *parent)
    : QObject(parent)
    , player(player)
    , playingUdn(std::move(playingUdn))
    , playingName(std::move(playingName))
{
    connect(&ticker, &QTimer::timeout, this, &TAVO_player_recorder::tellProgress);
}

// The program ends while it records: the file is made whole, without a word to a window that goes.
TAVO_player_recorder::~TAVO_player_recorder()
{
    if (isRecording())
        closeFile();
}

bool TAVO_player_recorder::isRecording() const
{
    return !path.isEmpty();
}

void TAVO_player_recorder::toggle()
{
    if (isRecording())
        end(QString());
    else
        start();
}

void TAVO_player_recorder::start()
{
    const QString udn = playingUdn();
    TAVO_mgr_boxStream *stream = TAVO_mgr_boxStream::find(udn);
    if (udn.isEmpty() || !player->isPlaying() || !stream) {
        Q_EMIT status(QStringLiteral("Nothing to record: nothing plays"));
        return;
    }
    if (!openFile())
        return;
    recordedUdn = udn;
    lockBox(udn);
    tap = stream->join(this);
    connect(tap, &TAVO_mgr_streamTap::packets, writer.get(), &TAVO_mgr_backgroundWriter::add);
    connect(tap, &TAVO_mgr_streamTap::ended, this, &TAVO_player_recorder::streamEnded);
    elapsed.start();
    ticker.start(progressMs);
    Q_EMIT recordingChanged(true);
    Q_EMIT status(QStringLiteral("Recording %1 to %2").arg(playingName(), path));
    tellProgress();
}

bool TAVO_player_recorder::openFile()
{
    QString problem;
    int fd = -1;
    path = TAVO_mgr_savedFiles::createNew(QStandardPaths::MoviesLocation, playingName(), QStringLiteral("ts"), &problem);
    if (!path.isEmpty()) {
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            problem = QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (fd < 0) {
        path.clear();
        Q_EMIT status(QStringLiteral("Could not record: %1").arg(problem));
        Q_EMIT failed(QStringLiteral("Cannot record."), problem[0].toUpper() + problem.mid(1) + QLatin1Char('.'));
        return false;
    }
    writer = std::make_unique<TAVO_mgr_backgroundWriter>(fd);
    connect(writer.get(), &TAVO_mgr_backgroundWriter::failed, this, &TAVO_player_recorder::writeFailed);
    return true;
}

// The player's stream keeper asks the box again; the file goes on from the next picture that
// decodes alone, or ends with the stream (streamChanged).
void TAVO_player_recorder::streamEnded()
{
    if (writer)
        writer->restart();
}

void TAVO_player_recorder::streamChanged(const QString &udn)
{
    if (isRecording() && udn != recordedUdn)
        end(QStringLiteral("the stream ended"));
}

// Returns why the file could not be closed; empty when it was.
QString TAVO_player_recorder::closeFile()
{
    delete tap;
    ticker.stop();
    const QString problem = writer->finish();
    path.clear();
    recordedUdn.clear();
    boxLock.reset();
    return problem;
}

void TAVO_player_recorder::end(const QString &why)
{
    const qint64 elapsedMs = elapsed.elapsed();
    const QString file = path;
    // The size is told once everything waiting for the disk is written.
    const QString closing = closeFile();
    const QString done = QStringLiteral("%1, %2 saved to %3")
                             .arg(TAVO_mgr_savedFiles::durationText(elapsedMs),
                                  TAVO_mgr_savedFiles::sizeText(writer->bytesWritten()), file);
    Q_EMIT recordingChanged(false);
    const QString reason = why.isEmpty() ? closing : why;
    Q_EMIT status(reason.isEmpty() ? QStringLiteral("Recording ended: %1").arg(done)
                                   : QStringLiteral("Recording ended (%1): %2").arg(reason, done));
}

// One box, one tuner: the lock keeps a recording command off the box while the window records it.
// A command that holds the lock already has tuned the box and records it; the window tunes nothing
// to record, so it records what plays all the same, but leaves the lock to the command: taking it
// over when the command ends would keep a later command off a box the user may have let go.
void TAVO_player_recorder::lockBox(const QString &udn)
{
    boxLock = std::make_unique<TAVO_mgr_boxLock>(udn);
    QString problem;
    if (!boxLock->take(&problem)) {
        qCDebug(lcRecorder).noquote() << "Recording without the lock:" << problem;
        boxLock.reset();
    }
}

void TAVO_player_recorder::writeFailed(const QString &reason)
{
    if (!isRecording())
        return;
    const QString file = path;
    end(reason);
    Q_EMIT failed(QStringLiteral("Recording stopped: %1.").arg(reason),
                  QStringLiteral("What was recorded until then is kept in %1.").arg(file));
}

void TAVO_player_recorder::tellProgress()
{
    Q_EMIT progress(path, elapsed.elapsed(), writer ? writer->bytesWritten() : 0);
}
