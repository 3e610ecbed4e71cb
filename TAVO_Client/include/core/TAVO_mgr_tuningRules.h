#ifndef TAVO_MGR_TUNINGRULES_H
#define TAVO_MGR_TUNINGRULES_H

#include <QDateTime>
#include <QList>

#include <optional>

// What tunes a box's stream, as plain functions of counts and times: TAVO_player_restartOwner
// measures, remembers and acts, these decide. They know neither the player nor the settings. The measured reasons of the constants are in docs/latency.md.
namespace TAVO_mgr_tuningRules {

// The network cache. A box starts with the shortest, for the shortest delay between a key and
// its picture; one whose pictures keep missing the screen (a stream that arrives in bursts, over
// a weak Wi-Fi) gets twice the cache, and a box that then plays smoothly for a long while gets
// the next shorter one at its next start.
// The shortest is long enough that libVLC need not raise its delay in a start's first seconds,
// each raise throwing away the pictures its decoders held.
constexpr int shortestCachingMs = 200;
constexpr int longestCachingMs = 1600;
// The version of these rules, remembered with each cache they choose: a cache chosen by other
// rules is dropped. Raise it whenever the rules change what a box is given.
constexpr int cachingRule = 3;
// A remembered cache is dropped after this long: a box's network (its Wi-Fi, its place, the
// router) changes over weeks, and a box that still needs the longer cache earns it again within
// its first minute of play, with one start again.
constexpr int cachingKeptDays = 30;

// A player's pictures so far: lost (too late to be shown, or not decoded), shown, and carried:
// those the stream carried in its play time, by its frame rate, which counts too the pictures
// libVLC threw away unseen when it caught up with a stream that came late (0 while the frame
// rate is not known).
struct PictureCounts
{
    int lost = 0;
    int shown = 0;
    int carried = 0;
};

// The pictures of one window of play: those that missed the screen, of those the stream carried.
struct Window
{
    int missed = 0;
    int carried = 0;
};
// The window between two counts of one player; none when the counts went back (a new player).
std::optional<Window> windowBetween(const PictureCounts &before, const PictureCounts &after);
bool tooManyMissed(const Window &window);

// What the windows of one stream say about its cache, window after window.
enum class CacheVerdict { Keep, Longer, Shorter };
struct CacheWatch
{
    bool lastTooMany = false;
    // The play since the last window with too many missed, or since a clean play was judged.
    int cleanMs = 0;
    Window clean;
};
CacheVerdict judgeWindow(CacheWatch &watch, const Window &window, int windowMs, int cleanPlayMs);

// A network cache chosen for a box's stream: when, and by which version of the rules that
// choose it, so that a choice can be dropped when it is old or its rules have changed.
struct RememberedCaching
{
    int milliseconds = 0;
    QDateTime chosenAt;
    int rule = 0;
};

int longerCaching(int cachingMs);
int shorterCaching(int cachingMs);
// The cache a remembered choice gives the box's next start; none when the choice is older than
// cachingKeptDays, dated ahead of the clock, made by other rules or out of range.
std::optional<int> cachingStillChosen(const RememberedCaching &remembered, const QDateTime &now);

// The delay. libVLC raises a live stream's delay whenever the stream comes late to it and never
// lowers it within the stream; over an evening a box whose clock runs fast or slow, and the
// network's odd hiccup, add up to a picture that follows the keys ever later. When the delay has
// crept more than allowedCreepMs beyond where the box's recent starts settled, the stream starts
// again and settles afresh. Starts settle some 100 ms apart: the middle of the last few is what a
// start of the box usually settles on, where the lowest ever was one lucky start.
constexpr int allowedCreepMs = 100;
constexpr int recentStarts = 5;
// The median of the delays the box's recent starts settled on at one cache.
int creepBaseline(const QList<int> &settledDelaysMs);
// Only as libVLC raises the delay, when the picture stalls anyway.
bool delayCrept(int delayMs, int lastDelayMs, int baselineMs);

// Starting the player again stills its picture for a moment.
// No start again sooner than this after another one made on purpose.
constexpr qint64 holdOffMs = 60 * 1000;
// A delay that climbs back sooner than this after the start again for it is not the box's clock
// but a network that comes late again and again, which a new start would not mend.
constexpr qint64 creepRestartGapMs = 5 * 60 * 1000;
// At most this many starts again of the restart owner.s own in any hour: a stream the rules cannot
// mend is left playing rather than frozen again and again.
constexpr int restartsPerHour = 4;
constexpr qint64 hourMs = 60 * 60 * 1000;

struct Restarts
{
    // The last start again on purpose.
    std::optional<qint64> lastDeliberateMs;
    // The restart owner.s own, for any reason, within the last hour or longer ago.
    QList<qint64> ownMs;
    std::optional<qint64> lastForCreepMs;
};
bool mayRestart(const Restarts &restarts, qint64 nowMs);
bool mayRestartForCreep(const Restarts &restarts, qint64 nowMs);

} // namespace TAVO_mgr_tuningRules

#endif
