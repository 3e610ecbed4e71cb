#include "TAVO_player_networkCaching.h"

#include "TAVO_mgr_clientSettings.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcCaching, "tavo.player.caching", QtInfoMsg)

namespace {

// A window misses "too many" when at least this many pictures, and one in a hundred, missed the
// screen: a single late picture now and then is not worth a longer delay.
constexpr int fewestMissedPictures = 5;
constexpr int missedPerHundred = 1;
// The pictures a stream carried are counted from its play time: a picture or two on their way
// to the screen at a window's edges are not missed.
constexpr int picturesOnTheirWay = 2;

} // namespace

TAVO_player_networkCaching::TAVO_player_networkCaching(Stream stream, QObject *parent)
    : TAVO_player_networkCaching(std::move(stream), parent, Timing())
{
}

TAVO_player_networkCaching::TAVO_player_networkCaching(Stream stream, QObject *parent, Timing timing)
    : QObject(parent)
    , stream(std::move(stream))
    , timing(timing)
{
    checkTimer.setSingleShot(true);
    connect(&checkTimer, &QTimer::timeout, this, &TAVO_player_networkCaching::check);
}

int TAVO_player_networkCaching::cachingFor(const QString &udn)
{
    const int remembered = TAVO_mgr_clientSettings::networkCachingFor(udn);
    return remembered > 0 ? std::clamp(remembered, shortestMs, longestMs) : shortestMs;
}

// Every cache plays in libVLC's live mode, which follows the box's clock. At the stream's own
// pace a longer cache rode out a stream's bursts a little better, but there libVLC does not follow
// a box whose clock runs fast or slow: the stream piles up or runs dry, and a box that missed
// pictures for that climbed to the longest cache and a delay of some two seconds.
QList<QByteArray> TAVO_player_networkCaching::mediaOptionsFor(const QString &udn)
{
    return {":network-caching=" + QByteArray::number(cachingFor(udn))};
}

void TAVO_player_networkCaching::playingChanged(const QString &udn)
{
    playingUdn = udn;
    lastCounts.reset();
    missedLastWindow = false;
    shortened = false;
    if (udn.isEmpty())
        checkTimer.stop();
    else
        checkTimer.start(timing.settleMs);
}

void TAVO_player_networkCaching::check()
{
    const std::optional<TAVO_player_vlcPlayer::PictureCounts> now = stream.pictures();
    if (!now)
        return;
    checkTimer.start(timing.windowMs);
    if (!lastCounts || now->lost < lastCounts->lost || now->shown < lastCounts->shown) {
        lastCounts = now;
        withoutMiss.start();
        return;
    }
    const int missedNow = missed(*now);
    const bool tooMany = tooManyMissed(missedNow, *now);
    const bool keepsMissing = tooMany && missedLastWindow;
    lastCounts = now;
    missedLastWindow = tooMany;
    if (missedNow > 0)
        withoutMiss.start();
    if (keepsMissing)
        lengthen();
    else if (withoutMiss.hasExpired(timing.cleanPlayMs))
        shortenForNextStart();
}

// Since the last window: the pictures lost, or, where the stream's frame rate is known, those it
// carried and the screen did not show, whichever are more.
int TAVO_player_networkCaching::missed(const TAVO_player_vlcPlayer::PictureCounts &now) const
{
    const int lost = now.lost - lastCounts->lost;
    if (now.carried == 0 || lastCounts->carried == 0)
        return lost;
    const int unshown = now.carried - lastCounts->carried - (now.shown - lastCounts->shown) - picturesOnTheirWay;
    return std::max(lost, unshown);
}

bool TAVO_player_networkCaching::tooManyMissed(int missedNow, const TAVO_player_vlcPlayer::PictureCounts &now) const
{
    const int shown = now.shown - lastCounts->shown;
    const int carried = std::max(missedNow + shown, now.carried - lastCounts->carried);
    return missedNow >= fewestMissedPictures && missedNow * 100 >= carried * missedPerHundred;
}

void TAVO_player_networkCaching::lengthen()
{
    const int caching = cachingFor(playingUdn);
    if (caching >= longestMs)
        return;
    const int longer = std::min(caching * 2, longestMs);
    TAVO_mgr_clientSettings::setNetworkCachingFor(playingUdn, longer);
    qCDebug(lcCaching).noquote() << QStringLiteral("Network cache of %1: %2 ms").arg(playingUdn).arg(longer);
    // The stream is watched again once it plays with the longer cache.
    checkTimer.stop();
    if (stream.mayRestart())
        stream.restart();
}

// Once per stream, so that a box earns each shorter step with a long clean play.
void TAVO_player_networkCaching::shortenForNextStart()
{
    const int caching = cachingFor(playingUdn);
    if (shortened || caching <= shortestMs)
        return;
    shortened = true;
    TAVO_mgr_clientSettings::setNetworkCachingFor(playingUdn, std::max(caching / 2, shortestMs));
}
