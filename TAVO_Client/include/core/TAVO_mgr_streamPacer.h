#ifndef TAVO_MGR_STREAMPACER_H
#define TAVO_MGR_STREAMPACER_H

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <optional>

// Hands a box's packets on at the pace of the box's clock (PCR), a margin behind the earliest
// they ever came, so that a player reading them sees a steady stream where the box's stalls and
// the bursts after them are absorbed here. A stall longer than the margin deepens it at once to
// what the stall cost: the player sees that stall once, and every later one as long not at all.
// Once the box has not stalled like that for a while the margin shrinks back, slowly, so that
// the player's clock follows without losing a picture. Times are the caller's (milliseconds of
// a steady clock): nothing here waits.
class TAVO_mgr_streamPacer
{
public:
    // The margin on a stream that never stalled: none, the pacer adds no delay to a steady box.
    static constexpr qint64 leastMarginMs = 0;
    // Lateness up to this is the ordinary jitter of an encoder and its network, which the
    // player's own cache absorbs; it deepens nothing.
    static constexpr qint64 jitterMs = 40;
    // Added to a stall's lateness when it deepens the margin: stalls of a weak link vary.
    static constexpr qint64 headroomMs = 20;
    // Beyond this a stall is a lost stream, not a margin to keep.
    static constexpr qint64 marginLimitMs = 2000;
    // A stall further back than this no longer holds the margin.
    static constexpr qint64 stallMemoryMs = 60000;
    // How fast the margin shrinks back: 1 % faster than the box's clock, which the player's
    // clock follows without dropping what it holds.
    static constexpr qint64 shrinkMsPerSecond = 10;
    // The earliest the packets came, relative to their clock, is taken over this long: a box
    // whose clock runs slow comes a little later every second.
    static constexpr qint64 baseWindowMs = 30000;
    // A clock reference this far from the one before is a new clock (a jump of the stream), not
    // a time to wait for.
    static constexpr qint64 jumpLimitMs = 1000;
    // No more than this is held, whatever the clock says.
    static constexpr qint64 heldLimitBytes = 4 * 1024 * 1024;

    // Whole packets, as they arrived at `nowMs`.
    void take(const QByteArray &packets, qint64 nowMs);
    // The packets whose time has come by `nowMs`, in order.
    QByteArray takeDue(qint64 nowMs);
    // Everything held, at once (the stream ended).
    QByteArray takeAll();
    // When the next packet held is due; none when nothing is held.
    std::optional<qint64> nextDueMs() const;
    qint64 marginMs() const { return margin; }

private:
    // Packets from one clock reference to the next: they go when the reference's time comes.
    struct Held
    {
        std::optional<qint64> clockMs;  // none: due at once
        QByteArray packets;
    };

    qint64 noteClock(qint64 pcrTicks, qint64 nowMs);
    void newClock();
    void keepSchedule(qint64 movedMs);
    void noteLateness(qint64 lateness, qint64 nowMs);
    void shrink(qint64 nowMs);
    qint64 base() const { return earliest.front().second; }
    qint64 dueMs(const Held &held) const;

    std::deque<Held> held;
    qint64 heldBytes = 0;
    std::optional<qint64> lastPcr;   // in clock ticks, as sent
    qint64 clockTicks = 0;           // the box's clock since the first reference, unwrapped
    // Arrival less clock: the least within baseWindowMs (time, offset), rising.
    std::deque<std::pair<qint64, qint64>> earliest;
    // Stalls beyond the jitter within stallMemoryMs (time, lateness), falling.
    std::deque<std::pair<qint64, qint64>> stalls;
    qint64 margin = leastMarginMs;
    qint64 shrunkAt = 0;
};

#endif
