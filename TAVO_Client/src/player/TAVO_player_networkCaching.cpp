#include "TAVO_player_networkCaching.h"

#include "TAVO_mgr_clientSettings.h"

#include <QDebug>

#include <algorithm>

namespace {

// A window loses "too many" when at least this many pictures, and one in a hundred, were lost:
// a single late picture now and then is not worth a longer delay.
constexpr int fewestLostPictures = 5;
constexpr int lostPerHundred = 1;

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

void TAVO_player_networkCaching::playingChanged(const QString &udn)
{
    playingUdn = udn;
    lastCounts.reset();
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
    if (!lastCounts || now->lost < lastCounts->lost) {
        lastCounts = now;
        withoutLoss.start();
        return;
    }
    const bool lost = now->lost > lastCounts->lost;
    const bool tooMany = tooManyLost(*now);
    lastCounts = now;
    if (lost)
        withoutLoss.start();
    if (tooMany)
        lengthen();
    else if (withoutLoss.hasExpired(timing.cleanPlayMs))
        shortenForNextStart();
}

bool TAVO_player_networkCaching::tooManyLost(const TAVO_player_vlcPlayer::PictureCounts &now) const
{
    const int lost = now.lost - lastCounts->lost;
    const int seen = lost + std::max(0, now.shown - lastCounts->shown);
    return lost >= fewestLostPictures && lost * 100 >= seen * lostPerHundred;
}

void TAVO_player_networkCaching::lengthen()
{
    const int caching = cachingFor(playingUdn);
    if (caching >= longestMs)
        return;
    const int longer = std::min(caching * 2, longestMs);
    TAVO_mgr_clientSettings::setNetworkCachingFor(playingUdn, longer);
    qDebug().noquote() << QStringLiteral("Network cache of %1: %2 ms").arg(playingUdn).arg(longer);
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
