#include "TAVO_player_recorder.h"

#include "TAVO_mgr_savedFiles.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_record_boxLock.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <utility>

TAVO_player_recorder::TAVO_player_recorder(TAVO_player_vlcPlayer *player, std::function<QString()> playingUdn,
                                           std::function<QString()> playingName, QObject *parent)
    : QObject(parent)
    , player(player)
    , playingUdn(std::move(playingUdn))
    , playingName(std::move(playingName))
{
    connect(&ticker, &QTimer::timeout, this, &TAVO_player_recorder::tellProgress);
    connect(player->vlcLog(), &TAVO_player_vlcLog::fileWriteFailed, this, &TAVO_player_recorder::writeFailed);
}

Q_LOGGING_CATEGORY(lcRecorder, "tavo.player.recorder", QtInfoMsg)

TAVO_player_recorder::~TAVO_player_recorder() = default;

bool TAVO_player_recorder::isRecording() const
{
    return !path.isEmpty();
}

// The path is quoted for libVLC's chain syntax, in which a backslash escapes a quote.
QByteArray TAVO_player_recorder::outputChain(const QString &path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return ":sout=#duplicate{dst=display,dst=std{access=file,mux=ts,dst=\"" + quoted.toUtf8() + "\"}}";
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
    if (udn.isEmpty() || !player->isPlaying()) {
        Q_EMIT status(QStringLiteral("Nothing to record: nothing plays"));
        return;
    }
    QString problem;
    path = TAVO_mgr_savedFiles::createNew(QStandardPaths::MoviesLocation, playingName(), QStringLiteral("ts"), &problem);
    if (path.isEmpty()) {
        Q_EMIT status(QStringLiteral("Could not record: %1").arg(problem));
        Q_EMIT failed(QStringLiteral("Cannot record."), problem[0].toUpper() + problem.mid(1) + QLatin1Char('.'));
        return;
    }
    recordedUdn = udn;
    lockBox(udn);
    // An input synchronised to the stream as a live one gives the file pictures with repeated
    // stamps, which players stumble over; paced as a file's (libVLC's default synchronisation),
    // the stream is copied as the box sent it. FFmpeg's demuxer, which a playing stream takes,
    // hands the file pictures that begin without their sequence's header: libVLC's own copies
    // them whole.
    player->setExtraMediaOptions({outputChain(path), ":demux=ts", ":clock-synchro=-1",
                                  ":network-caching=" + QByteArray::number(networkCachingMs)});
    Q_EMIT startAgainWanted(udn, true);
    elapsed.start();
    ticker.start(progressMs);
    Q_EMIT recordingChanged(true);
    sayAgainWhenBack(QStringLiteral("Recording %1 to %2").arg(playingName(), path));
    tellProgress();
}

void TAVO_player_recorder::streamChanged(const QString &udn)
{
    if (udn.isEmpty())
        sayWhenBack.clear();
    else if (!sayWhenBack.isEmpty())
        QTimer::singleShot(0, this, [this] { Q_EMIT status(std::exchange(sayWhenBack, QString())); });
    if (isRecording() && udn != recordedUdn)
        end(QStringLiteral("the stream ended"));
}

// The player goes on showing the stream, without the file, unless the stream itself ended.
// Either way the player that wrote the file has stopped, or stops next, and closed it.
void TAVO_player_recorder::end(const QString &why)
{
    const bool streamGoesOn = playingUdn() == recordedUdn;
    player->setExtraMediaOptions({});
    if (streamGoesOn)
        Q_EMIT startAgainWanted(recordedUdn, false);
    ticker.stop();
    const QString said = endedText(why);
    Q_EMIT recordingChanged(false);
    if (streamGoesOn)
        sayAgainWhenBack(said);
    else
        Q_EMIT status(said);
}

QString TAVO_player_recorder::endedText(const QString &why)
{
    const QString done = QStringLiteral("%1, %2 saved to %3")
                             .arg(TAVO_mgr_savedFiles::durationText(elapsed.elapsed()),
                                  TAVO_mgr_savedFiles::sizeText(QFileInfo(path).size()), path);
    path.clear();
    recordedUdn.clear();
    boxLock.reset();
    return why.isEmpty() ? QStringLiteral("Recording ended: %1").arg(done)
                         : QStringLiteral("Recording ended (%1): %2").arg(why, done);
}

// One box, one tuner: the lock keeps a recording command off the box while the window records it.
// A command that holds the lock already has tuned the box and records it; the window tunes nothing
// to record, so it records what plays all the same, but leaves the lock to the command: taking it
// over when the command ends would keep a later command off a box the user may have let go.
void TAVO_player_recorder::lockBox(const QString &udn)
{
    boxLock = std::make_unique<TAVO_record_boxLock>(udn);
    QString problem;
    if (!boxLock->take(&problem)) {
        qCDebug(lcRecorder).noquote() << "Recording without the lock:" << problem;
        boxLock.reset();
    }
}

// The stream keeper says "Playing" when the stream that the recorder started again plays; what
// the recorder said is said again after that.
void TAVO_player_recorder::sayAgainWhenBack(const QString &text)
{
    sayWhenBack = text;
    Q_EMIT status(text);
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
    Q_EMIT progress(path, elapsed.elapsed(), QFileInfo(path).size());
}
