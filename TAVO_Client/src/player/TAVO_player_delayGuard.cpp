#include "TAVO_player_delayGuard.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcDelay, "tavo.player.delay", QtInfoMsg)

TAVO_player_delayGuard::TAVO_player_delayGuard(Stream stream, QObject *parent)
    : TAVO_player_delayGuard(std::move(stream), parent, Timing())
{
}

TAVO_player_delayGuard::TAVO_player_delayGuard(Stream stream, QObject *parent, Timing timing)
    : QObject(parent)
    , stream(std::move(stream))
    , timing(timing)
{
    connect(&checkTimer, &QTimer::timeout, this, &TAVO_player_delayGuard::check);
}

void TAVO_player_delayGuard::playingChanged(const QString &udn, int cachingMs)
{
    if (udn != playingUdn)
        restartedAtMs.reset();
    playingUdn = udn;
    this->cachingMs = cachingMs;
    settledMs = cachingMs;
    lastDelayMs = 0;
    creepFromMs = 0;
    if (udn.isEmpty()) {
        checkTimer.stop();
        return;
    }
    startedAtMs = timing.nowMs();
    checkTimer.start(timing.checkMs);
}

void TAVO_player_delayGuard::check()
{
    const int delayMs = stream.raisedDelayMs();
    const bool justRaised = delayMs > lastDelayMs;
    lastDelayMs = delayMs;
    const qint64 nowMs = timing.nowMs();
    if (nowMs - startedAtMs <= timing.settleMs) {
        settledMs = std::max(settledMs, delayMs);
        return;
    }
    if (creepFromMs == 0)
        creepFromMs = noteSettled();
    // Only as libVLC raises the delay, when the picture stalls anyway.
    if (!justRaised || delayMs <= creepFromMs + allowedCreepMs || !stream.mayRestart())
        return;
    if (restartedAtMs && nowMs - *restartedAtMs <= timing.fewestMsBetweenRestarts)
        return;
    qCDebug(lcDelay).noquote() << QStringLiteral("Delay of %1 crept from %2 to %3 ms: starting again")
                              .arg(playingUdn)
                              .arg(creepFromMs)
                              .arg(delayMs);
    restartedAtMs = nowMs;
    checkTimer.stop();
    stream.restart();
}

int TAVO_player_delayGuard::noteSettled()
{
    Settled &box = settledByBox[playingUdn];
    if (box.cachingMs != cachingMs)
        box = {cachingMs, settledMs};
    box.lowestMs = std::min(box.lowestMs, settledMs);
    return box.lowestMs;
}
