#include "TAVO_player_restartOwner.h"

#include "TAVO_mgr_clientSettings.h"

#include <QLoggingCategory>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcStreamTuning, "tavo.player.tuning", QtInfoMsg)

using namespace TAVO_mgr_tuningRules;

TAVO_player_restartOwner::TAVO_player_restartOwner(Stream stream, QObject *parent)
    : TAVO_player_restartOwner(std::move(stream), parent, Timing())
{
}

TAVO_player_restartOwner::TAVO_player_restartOwner(Stream stream, QObject *parent, Timing timing)
    : QObject(parent)
    , stream(std::move(stream))
    , timing(std::move(timing))
{
    connect(&ticker, &QTimer::timeout, this, &TAVO_player_restartOwner::tick);
}

int TAVO_player_restartOwner::cachingFor(const QString &udn, const QDateTime &now)
{
    const std::optional<TAVO_mgr_clientSettings::RememberedCaching> remembered =
        TAVO_mgr_clientSettings::networkCachingFor(udn);
    if (!remembered)
        return shortestCachingMs;
    const std::optional<int> chosen = cachingStillChosen(*remembered, now);
    if (!chosen)
        TAVO_mgr_clientSettings::forgetNetworkCachingFor(udn);
    return chosen.value_or(shortestCachingMs);
}

// Every cache plays in libVLC's live mode, which follows the box's clock. At the stream's own
// pace a longer cache rode out a stream's bursts a little better, but there libVLC does not follow
// a box whose clock runs fast or slow: the stream piles up or runs dry, and a box that missed
// pictures for that climbed to the longest cache and a delay of some two seconds.
QList<QByteArray> TAVO_player_restartOwner::mediaOptionsFor(const QString &udn)
{
    optionsUdn = udn;
    optionsCachingMs = cachingFor(udn, timing.today());
    return {":network-caching=" + QByteArray::number(optionsCachingMs)};
}

void TAVO_player_restartOwner::forget(const QString &udn, const QString &name)
{
    TAVO_mgr_clientSettings::forgetNetworkCachingFor(udn);
    settledDelays.remove(udn);
    Q_EMIT status(QStringLiteral("Stream tuning of %1 reset: its next start gets the shortest buffer (%2 ms)")
                      .arg(name)
                      .arg(shortestCachingMs));
}

void TAVO_player_restartOwner::setTiming(const Timing &newTiming)
{
    timing = newTiming;
    if (ticker.isActive())
        ticker.start(timing.checkMs);
}

void TAVO_player_restartOwner::playingChanged(const QString &udn)
{
    playing.reset();
    if (udn.isEmpty()) {
        sayWhenBack.clear();
        ticker.stop();
        return;
    }
    Playing start;
    start.udn = udn;
    start.cachingMs = udn == optionsUdn ? optionsCachingMs : cachingFor(udn, timing.today());
    start.startedAtMs = timing.nowMs();
    start.settledMs = start.cachingMs;
    start.nextWindowAtMs = start.startedAtMs + timing.settleMs;
    playing = start;
    ticker.start(timing.checkMs);
    if (!sayWhenBack.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (!sayWhenBack.isEmpty())
                Q_EMIT status(std::exchange(sayWhenBack, QString()));
        });
}

void TAVO_player_restartOwner::tick()
{
    if (!playing)
        return;
    const qint64 nowMs = timing.nowMs();
    const int delayMs = stream.raisedDelayMs();
    const int lastDelayMs = std::exchange(playing->lastDelayMs, delayMs);
    if (nowMs - playing->startedAtMs <= timing.settleMs) {
        playing->settledMs = std::max(playing->settledMs, delayMs);
        return;
    }
    if (!playing->baselineMs)
        settle();
    if (!lookAtPictures(nowMs))
        lookAtDelay(nowMs, delayMs, lastDelayMs);
}

void TAVO_player_restartOwner::lookAtDelay(qint64 nowMs, int delayMs, int lastDelayMs)
{
    if (!delayCrept(delayMs, lastDelayMs, *playing->baselineMs) || !mayRestartForCreep(restarts, nowMs)
        || !mayRestart(restarts, nowMs))
        return;
    qCDebug(lcStreamTuning).noquote() << QStringLiteral("Delay of %1 crept from %2 to %3 ms: starting again")
                                             .arg(playing->udn)
                                             .arg(*playing->baselineMs)
                                             .arg(delayMs);
    restarts.lastForCreepMs = nowMs;
    restart(playing->udn, Reason::DelayCrept, nowMs,
            QStringLiteral("%1: starting the stream again to bring its delay back down (it had grown to %2 ms)")
                .arg(stream.playingName())
                .arg(delayMs));
}

void TAVO_player_restartOwner::settle()
{
    QList<int> &recent = settledDelays[playing->udn][playing->cachingMs];
    recent.append(playing->settledMs);
    while (recent.size() > recentStarts)
        recent.removeFirst();
    playing->baselineMs = creepBaseline(recent);
    qCDebug(lcStreamTuning).noquote() << QStringLiteral("%1 settled at %2 ms with a cache of %3 ms; its creep counts from %4 ms")
                                             .arg(playing->udn)
                                             .arg(playing->settledMs)
                                             .arg(playing->cachingMs)
                                             .arg(*playing->baselineMs);
}

bool TAVO_player_restartOwner::lookAtPictures(qint64 nowMs)
{
    if (nowMs < playing->nextWindowAtMs)
        return false;
    const std::optional<PictureCounts> counts = stream.pictures();
    if (!counts)
        return false;
    playing->nextWindowAtMs = nowMs + timing.windowMs;
    const std::optional<Window> window =
        playing->windowStart ? windowBetween(*playing->windowStart, *counts) : std::nullopt;
    const qint64 windowMs = nowMs - playing->windowStartMs;
    playing->windowStart = counts;
    playing->windowStartMs = nowMs;
    if (!window)
        return false;
    switch (judgeWindow(playing->cache, *window, int(windowMs), timing.cleanPlayMs)) {
    case CacheVerdict::Longer:
        return lengthen(nowMs);
    case CacheVerdict::Shorter:
        shortenForNextStart();
        break;
    case CacheVerdict::Keep:
        break;
    }
    return false;
}

// The box keeps the longer cache for its later starts. While the stream may not start again,
// nothing is remembered: the windows that follow ask again.
bool TAVO_player_restartOwner::lengthen(qint64 nowMs)
{
    const int longer = longerCaching(playing->cachingMs);
    if (longer == playing->cachingMs)
        return false;
    if (!mayRestart(restarts, nowMs)) {
        qCDebug(lcStreamTuning).noquote() << QStringLiteral("%1 needs a longer cache, but may not start again yet")
                                                 .arg(playing->udn);
        return false;
    }
    TAVO_mgr_clientSettings::setNetworkCachingFor(playing->udn, {longer, timing.today(), cachingRule});
    qCDebug(lcStreamTuning).noquote() << QStringLiteral("Network cache of %1: %2 ms").arg(playing->udn).arg(longer);
    restart(playing->udn, Reason::LongerCache, nowMs,
            QStringLiteral("%1: starting the stream again with a longer buffer (%2 ms)").arg(stream.playingName()).arg(longer));
    return true;
}

// For the next start, so that a playing stream does not freeze for it; once per stream, so that
// a box earns each shorter step with a long smooth play.
void TAVO_player_restartOwner::shortenForNextStart()
{
    if (playing->shortened || playing->cachingMs <= shortestCachingMs)
        return;
    playing->shortened = true;
    const int shorter = shorterCaching(playing->cachingMs);
    if (shorter == shortestCachingMs)
        TAVO_mgr_clientSettings::forgetNetworkCachingFor(playing->udn);
    else
        TAVO_mgr_clientSettings::setNetworkCachingFor(playing->udn, {shorter, timing.today(), cachingRule});
    Q_EMIT status(QStringLiteral("%1 plays smoothly: its next start gets a shorter buffer (%2 ms)")
                      .arg(stream.playingName())
                      .arg(shorter));
}

// `udn` is a copy: the measured start it may come from ends here.
void TAVO_player_restartOwner::restart(QString udn, Reason reason, qint64 nowMs, const QString &said)
{
    restarts.lastDeliberateMs = nowMs;
    restarts.ownMs.removeIf([nowMs](qint64 atMs) { return nowMs - atMs >= hourMs; });
    restarts.ownMs.append(nowMs);
    // Measured afresh once the stream plays again.
    playing.reset();
    ticker.stop();
    if (!said.isEmpty()) {
        sayWhenBack = said;
        Q_EMIT status(said);
    }
    Q_EMIT restarting(udn, reason);
    stream.restart();
}
