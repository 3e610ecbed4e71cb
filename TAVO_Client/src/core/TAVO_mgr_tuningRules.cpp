#include "TAVO_mgr_tuningRules.h"

#include <algorithm>

namespace {

// A window misses "too many" when at least this many pictures, and one in a hundred, missed the
// screen: a single late picture now and then is not worth a longer delay.
constexpr int fewestMissedPictures = 5;
constexpr int missedPerHundred = 1;
// A clean play earns a shorter cache when it missed at most one picture in this many: half the
// share that makes a window miss too many, so that a box does not swing between two caches,
// while a stream that misses a picture now and then still comes down.
constexpr int carriedPerCleanMiss = 200;
// The pictures a stream carried are counted from its play time: a picture or two on their way
// to the screen at a window's edges are not missed.
constexpr int picturesOnTheirWay = 2;

} // namespace

// The pictures lost, or, where the stream's frame rate is known, those it carried and the
// screen did not show, whichever are more: libVLC counts as lost only pictures that reach the
// screen too late, not those it throws away as it raises its delay.
std::optional<TAVO_mgr_tuningRules::Window> TAVO_mgr_tuningRules::windowBetween(const PictureCounts &before,
                                                                               const PictureCounts &after)
{
    if (after.lost < before.lost || after.shown < before.shown || after.carried < before.carried)
        return std::nullopt;
    const int lost = after.lost - before.lost;
    const int shown = after.shown - before.shown;
    const bool rateKnown = before.carried > 0 && after.carried > 0;
    const int unshown = rateKnown ? after.carried - before.carried - shown - picturesOnTheirWay : 0;
    const int missed = std::max(lost, unshown);
    return Window{missed, std::max(missed + shown, after.carried - before.carried)};
}

bool TAVO_mgr_tuningRules::tooManyMissed(const Window &window)
{
    return window.missed >= fewestMissedPictures && window.missed * 100 >= window.carried * missedPerHundred;
}

// Only two windows in a row with too many missed make a longer cache: the odd hiccup of a busy
// computer, now and then over an evening, would otherwise double the cache each time. Each clean
// play is judged once, and the next one counts from there.
TAVO_mgr_tuningRules::CacheVerdict TAVO_mgr_tuningRules::judgeWindow(CacheWatch &watch, const Window &window,
                                                                           int windowMs, int cleanPlayMs)
{
    const bool tooMany = tooManyMissed(window);
    const bool keepsMissing = tooMany && watch.lastTooMany;
    watch.lastTooMany = tooMany;
    if (tooMany) {
        watch.cleanMs = 0;
        watch.clean = {};
        return keepsMissing ? CacheVerdict::Longer : CacheVerdict::Keep;
    }
    watch.cleanMs += windowMs;
    watch.clean.missed += window.missed;
    watch.clean.carried += window.carried;
    if (watch.cleanMs < cleanPlayMs)
        return CacheVerdict::Keep;
    const bool smooth = watch.clean.missed * carriedPerCleanMiss <= watch.clean.carried;
    watch.cleanMs = 0;
    watch.clean = {};
    return smooth ? CacheVerdict::Shorter : CacheVerdict::Keep;
}

int TAVO_mgr_tuningRules::longerCaching(int cachingMs)
{
    return std::min(cachingMs * 2, longestCachingMs);
}

int TAVO_mgr_tuningRules::shorterCaching(int cachingMs)
{
    return std::max(cachingMs / 2, shortestCachingMs);
}

std::optional<int> TAVO_mgr_tuningRules::cachingStillChosen(const RememberedCaching &remembered,
                                                           const QDateTime &now)
{
    const bool current = remembered.rule == cachingRule && remembered.chosenAt.isValid()
                         && remembered.chosenAt <= now && now < remembered.chosenAt.addDays(cachingKeptDays);
    const bool inRange = remembered.milliseconds >= shortestCachingMs && remembered.milliseconds <= longestCachingMs;
    if (!current || !inRange)
        return std::nullopt;
    return remembered.milliseconds;
}

int TAVO_mgr_tuningRules::creepBaseline(const QList<int> &settledDelaysMs)
{
    if (settledDelaysMs.isEmpty())
        return 0;
    QList<int> sorted = settledDelaysMs;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted.at(middle) : (sorted.at(middle - 1) + sorted.at(middle)) / 2;
}

bool TAVO_mgr_tuningRules::delayCrept(int delayMs, int lastDelayMs, int baselineMs)
{
    return delayMs > lastDelayMs && delayMs > baselineMs + allowedCreepMs;
}

bool TAVO_mgr_tuningRules::mayRestart(const Restarts &restarts, qint64 nowMs)
{
    if (restarts.lastDeliberateMs && nowMs - *restarts.lastDeliberateMs < holdOffMs)
        return false;
    const auto withinTheHour = [nowMs](qint64 atMs) { return nowMs - atMs < hourMs; };
    return std::count_if(restarts.ownMs.cbegin(), restarts.ownMs.cend(), withinTheHour) < restartsPerHour;
}

bool TAVO_mgr_tuningRules::mayRestartForCreep(const Restarts &restarts, qint64 nowMs)
{
    return !restarts.lastForCreepMs || nowMs - *restarts.lastForCreepMs > creepRestartGapMs;
}
