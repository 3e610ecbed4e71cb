#include "TAVO_mgr_streamPacer.h"

#include "TAVO_mgr_tsEntry.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdlib>

namespace {

Q_LOGGING_CATEGORY(lcStreamPacer, "tavo.core.stream.pacer", QtWarningMsg)

constexpr int packetSize = TAVO_mgr_tsEntry::packetSize;

} // namespace

void TAVO_mgr_streamPacer::take(const QByteArray &packets, qint64 nowMs)
{
    for (qsizetype at = 0; at + packetSize <= packets.size(); at += packetSize) {
        const char *packet = packets.constData() + at;
        if (const std::optional<qint64> pcr = TAVO_mgr_tsEntry::clockReferenceOf(packet))
            held.push_back({noteClock(*pcr, nowMs), QByteArray()});
        else if (held.empty())
            held.push_back({std::nullopt, QByteArray()});
        held.back().packets.append(packet, packetSize);
        heldBytes += packetSize;
    }
    shrink(nowMs);
    if (heldBytes > heldLimitBytes) {
        qCInfo(lcStreamPacer) << "held" << heldBytes << "bytes: handed on at once";
        for (Held &each : held)
            each.clockMs.reset();
    }
}

// Where the reference `pcrTicks` lies on the unwrapped clock; it also tells how late it came.
qint64 TAVO_mgr_streamPacer::noteClock(qint64 pcrTicks, qint64 nowMs)
{
    const qint64 step = lastPcr ? TAVO_mgr_tsEntry::clockDistance(*lastPcr, pcrTicks) : 0;
    lastPcr = pcrTicks;
    if (std::abs(step) > jumpLimitMs * TAVO_mgr_tsEntry::ticksPerMs)
        newClock();
    else
        clockTicks += step;
    const qint64 clockMs = clockTicks / TAVO_mgr_tsEntry::ticksPerMs;
    const qint64 offset = nowMs - clockMs;
    const std::optional<qint64> baseBefore = earliest.empty() ? std::nullopt : std::optional<qint64>(base());
    while (!earliest.empty() && (earliest.back().second >= offset))
        earliest.pop_back();
    earliest.emplace_back(nowMs, offset);
    while (earliest.front().first < nowMs - baseWindowMs)
        earliest.pop_front();
    if (baseBefore)
        keepSchedule(base() - *baseBefore);
    noteLateness(offset - base(), nowMs);
    return clockMs;
}

// What is held goes at once, and the clock's pace is learnt afresh from the next reference.
void TAVO_mgr_streamPacer::newClock()
{
    qCInfo(lcStreamPacer) << "the clock jumped: its pace is learnt afresh";
    for (Held &each : held)
        each.clockMs.reset();
    earliest.clear();
}

// The earliest arrival came later by `movedMs` (an early burst left the window, a box's clock
// runs slow): the margin takes it up, so that the packets' times do not move with it and the
// player sees no gap; so do the stalls remembered, measured from the earliest arrival. An
// earlier arrival moves the times with it: what is held goes sooner (a joiner's first share,
// the stream since its newest entry point, goes at once).
void TAVO_mgr_streamPacer::keepSchedule(qint64 movedMs)
{
    if (movedMs <= 0)
        return;
    margin = std::clamp(margin - movedMs, leastMarginMs, marginLimitMs);
    for (auto &[at, lateness] : stalls)
        lateness -= movedMs;
}

void TAVO_mgr_streamPacer::noteLateness(qint64 lateness, qint64 nowMs)
{
    while (!stalls.empty() && stalls.front().first < nowMs - stallMemoryMs)
        stalls.pop_front();
    if (lateness <= jitterMs)
        return;
    while (!stalls.empty() && stalls.back().second <= lateness)
        stalls.pop_back();
    stalls.emplace_back(nowMs, lateness);
    const qint64 wanted = std::min(lateness + headroomMs, marginLimitMs);
    if (wanted > margin) {
        qCInfo(lcStreamPacer) << "the box stalled" << lateness << "ms: margin" << margin << "->" << wanted << "ms";
        margin = wanted;
        shrunkAt = nowMs;
    }
}

// Toward what the stalls still remembered need, never faster than shrinkMsPerSecond.
void TAVO_mgr_streamPacer::shrink(qint64 nowMs)
{
    while (!stalls.empty() && stalls.front().first < nowMs - stallMemoryMs)
        stalls.pop_front();
    const qint64 needed
        = stalls.empty() ? leastMarginMs : std::min(stalls.front().second + headroomMs, marginLimitMs);
    if (needed >= margin) {
        shrunkAt = nowMs;
        return;
    }
    const qint64 step = (nowMs - shrunkAt) * shrinkMsPerSecond / 1000;
    if (step <= 0)
        return;
    margin = std::max(needed, margin - step);
    shrunkAt += step * 1000 / shrinkMsPerSecond;
}

qint64 TAVO_mgr_streamPacer::dueMs(const Held &each) const
{
    return each.clockMs && !earliest.empty() ? *each.clockMs + base() + margin : 0;
}

QByteArray TAVO_mgr_streamPacer::takeDue(qint64 nowMs)
{
    shrink(nowMs);
    QByteArray due;
    while (!held.empty() && dueMs(held.front()) <= nowMs) {
        due += held.front().packets;
        heldBytes -= held.front().packets.size();
        held.pop_front();
    }
    return due;
}

QByteArray TAVO_mgr_streamPacer::takeAll()
{
    QByteArray all;
    for (const Held &each : held)
        all += each.packets;
    held.clear();
    heldBytes = 0;
    return all;
}

std::optional<qint64> TAVO_mgr_streamPacer::nextDueMs() const
{
    return held.empty() ? std::nullopt : std::optional<qint64>(dueMs(held.front()));
}
