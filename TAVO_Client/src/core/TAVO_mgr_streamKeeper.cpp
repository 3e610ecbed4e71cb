#include "TAVO_mgr_streamKeeper.h"

TAVO_mgr_streamKeeper::TAVO_mgr_streamKeeper(Player player, QObject *parent)
    : QObject(parent)
    , player(std::move(player))
{
    retryTimer.setSingleShot(true);
    attemptBound.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &TAVO_mgr_streamKeeper::retry);
    connect(&attemptBound, &QTimer::timeout, this, &TAVO_mgr_streamKeeper::lost);
    connect(&stallCheck, &QTimer::timeout, this, &TAVO_mgr_streamKeeper::checkStreamMoves);
}

void TAVO_mgr_streamKeeper::requested(const QString &udn, const QString &name, const QByteArray &location)
{
    endRetries();
    wantedUdn = udn;
    wantedName = name;
    wantedLocation = location;
    setPlaying(false);
    Q_EMIT status(QStringLiteral("Connecting to %1…").arg(name));
}

// The player has shown its own boxes for a start that failed; the status line keeps the reason.
void TAVO_mgr_streamKeeper::startReturned(bool started, const QString &reason)
{
    if (started) {
        back();
        return;
    }
    Q_EMIT status(reason.isEmpty() ? QStringLiteral("Could not play %1").arg(wantedName)
                                   : QStringLiteral("Could not play %1: %2").arg(wantedName, reason));
    wantedUdn.clear();
}

void TAVO_mgr_streamKeeper::stopped()
{
    endRetries();
    wantedUdn.clear();
    setPlaying(false);
    Q_EMIT status(QStringLiteral("Stopped"));
}

// A stream that played ended or failed by itself (the box restarted, the network dropped).
void TAVO_mgr_streamKeeper::lost()
{
    if (wantedUdn.isEmpty())
        return;
    attemptBound.stop();
    stallCheck.stop();
    player.stop();
    setPlaying(false);
    const int delayMs = backOff.next();
    Q_EMIT status(QStringLiteral("Lost the stream of %1; trying again in %2 s…").arg(wantedName).arg(delayMs / 1000));
    retryTimer.start(delayMs);
}

void TAVO_mgr_streamKeeper::retry()
{
    if (wantedUdn.isEmpty())
        return;
    Q_EMIT status(QStringLiteral("Connecting to %1 again…").arg(wantedName));
    player.stop();
    player.startQuietly(wantedLocation);
    // A quiet attempt has no start-up watch of its own; it gets the same time a Start does.
    attemptBound.start(player.attemptLimitMs);
}

void TAVO_mgr_streamKeeper::back()
{
    if (wantedUdn.isEmpty())
        return;
    endRetries();
    setPlaying(true);
    Q_EMIT status(QStringLiteral("Playing %1").arg(wantedName));
    lastBytesRead = -1;
    unchangedFor.start();
    stallCheck.start(stallCheckMs);
}

void TAVO_mgr_streamKeeper::endRetries()
{
    retryTimer.stop();
    attemptBound.stop();
    stallCheck.stop();
    backOff.reset();
}

void TAVO_mgr_streamKeeper::checkStreamMoves()
{
    const qint64 bytes = player.bytesRead();
    if (bytes != lastBytesRead) {
        lastBytesRead = bytes;
        unchangedFor.restart();
    } else if (unchangedFor.hasExpired(stallLimitMs)) {
        lost();
    }
}

void TAVO_mgr_streamKeeper::setPlaying(bool nowPlaying)
{
    playing = nowPlaying;
    Q_EMIT playingChanged(playingUdn());
}

QString TAVO_mgr_streamKeeper::wantedBox() const
{
    return wantedUdn;
}

QString TAVO_mgr_streamKeeper::playingUdn() const
{
    return playing ? wantedUdn : QString();
}

QString TAVO_mgr_streamKeeper::playingName() const
{
    return playing ? wantedName : QString();
}
