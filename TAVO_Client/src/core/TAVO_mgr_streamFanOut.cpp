#include "TAVO_mgr_streamFanOut.h"

#include "TAVO_mgr_boxStream.h"

#include <algorithm>

namespace {

constexpr int packetSize = TAVO_mgr_tsEntry::packetSize;

} // namespace

void TAVO_mgr_streamFanOut::add(TAVO_mgr_streamTap *tap)
{
    taps.append(tap);
}

void TAVO_mgr_streamFanOut::remove(TAVO_mgr_streamTap *tap)
{
    taps.removeAll(tap);
}

void TAVO_mgr_streamFanOut::startLate(TAVO_mgr_streamTap *tap)
{
    if (tap->started || kept.isEmpty() || !canStart(tap))
        return;
    giveBatch();
    tap->started = true;
    deliver(tap, entry.tables() + kept);
}

void TAVO_mgr_streamFanOut::take(const QByteArray &packets)
{
    for (qsizetype at = 0; at + packetSize <= packets.size(); at += packetSize) {
        const char *packet = packets.constData() + at;
        if (entry.take(packet) == TAVO_mgr_tsEntry::Kind::Entry) {
            giveBatch();
            kept.clear();
            kept.append(packet, packetSize);
        } else if (!kept.isEmpty()) {
            kept.append(packet, packetSize);
            if (kept.size() > keptLimitBytes)
                kept.clear();
        }
        batch.append(packet, packetSize);
        startWaitingReaders();
    }
    giveBatch();
}

// A reader that takes the pictures' clock waits until it is known; a stream that shows no clock
// is given as it is.
bool TAVO_mgr_streamFanOut::canStart(const TAVO_mgr_streamTap *tap) const
{
    return tap->clock == TAVO_mgr_streamTap::Clock::AsSent || entry.clockShift().has_value() || !entry.hasClock();
}

// Readers waiting for an entry point get the tables and the stream since the newest one; what
// came before in this pass goes to those that had started already.
void TAVO_mgr_streamFanOut::startWaitingReaders()
{
    if (kept.isEmpty())
        return;
    const bool waiting = std::any_of(taps.cbegin(), taps.cend(),
                                     [this](const TAVO_mgr_streamTap *tap) { return !tap->started && canStart(tap); });
    if (!waiting)
        return;
    giveBatch();
    started = true;
    const QByteArray first = entry.tables() + kept;
    const QList<QPointer<TAVO_mgr_streamTap>> readers(taps.cbegin(), taps.cend());
    for (const QPointer<TAVO_mgr_streamTap> &tap : readers) {
        if (tap && !tap->started && canStart(tap)) {
            tap->started = true;
            deliver(tap, first);
        }
    }
}

void TAVO_mgr_streamFanOut::giveBatch()
{
    if (batch.isEmpty())
        return;
    const QByteArray packets = std::exchange(batch, QByteArray());
    // A reader may leave, and another join, while it is given its share.
    const QList<QPointer<TAVO_mgr_streamTap>> readers(taps.cbegin(), taps.cend());
    for (const QPointer<TAVO_mgr_streamTap> &tap : readers) {
        if (tap && tap->started)
            deliver(tap, packets);
    }
}

void TAVO_mgr_streamFanOut::end(const TAVO_mgr_streamFailure &failure)
{
    giveBatch();
    entry.reset();
    kept.clear();
    started = false;
    const QList<QPointer<TAVO_mgr_streamTap>> readers(taps.cbegin(), taps.cend());
    for (const QPointer<TAVO_mgr_streamTap> &tap : readers) {
        if (!tap)
            continue;
        tap->started = false;
        Q_EMIT tap->ended(failure);
    }
}

void TAVO_mgr_streamFanOut::deliver(TAVO_mgr_streamTap *tap, const QByteArray &packets) const
{
    const qint64 shift = entry.clockShift().value_or(0);
    if (tap->clock == TAVO_mgr_streamTap::Clock::AsSent || shift == 0) {
        tap->give(packets);
        return;
    }
    QByteArray moved = packets;
    entry.shiftClock(moved, shift);
    tap->give(moved);
}

bool TAVO_mgr_streamFanOut::isHeld() const
{
    return std::any_of(taps.cbegin(), taps.cend(), [](const TAVO_mgr_streamTap *tap) { return tap->holding; });
}
