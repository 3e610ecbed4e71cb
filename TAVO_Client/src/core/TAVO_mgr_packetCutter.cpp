#include "TAVO_mgr_packetCutter.h"

namespace {

// Sync is found again only where this many packets in a row start with their sync byte.
constexpr int packetsToResync = 3;

} // namespace

QByteArray TAVO_mgr_packetCutter::add(const QByteArray &bytes)
{
    pending.append(bytes);
    QByteArray packets;
    qsizetype at = 0;
    while (synced || findSync(at)) {
        // The packet at `at` is taken once the byte after it is known to start the next one.
        if (pending.size() - at <= packetSize)
            break;
        if (pending.at(at) != syncByte || pending.at(at + packetSize) != syncByte) {
            synced = false;  // bytes were lost in or after this packet: it is not whole
            ++at;
            ++unsynced;
            continue;
        }
        packets.append(pending.constData() + at, packetSize);
        unsynced = 0;
        at += packetSize;
    }
    pending.remove(0, at);
    return packets;
}

// Looks for three packet starts in a row from `at` on; bytes before them are skipped. Of bytes
// without such a start, those that may still begin one are kept.
bool TAVO_mgr_packetCutter::findSync(qsizetype &at)
{
    const qsizetype span = qsizetype(packetsToResync - 1) * packetSize;
    for (; at + span < pending.size(); ++at, ++unsynced) {
        bool starts = true;
        for (int n = 0; n < packetsToResync && starts; ++n)
            starts = pending.at(at + n * packetSize) == syncByte;
        if (starts) {
            synced = true;
            return true;
        }
    }
    return false;
}

QByteArray TAVO_mgr_packetCutter::finish()
{
    QByteArray last;
    if (synced && pending.size() >= packetSize && pending.at(0) == syncByte)
        last = pending.left(packetSize);
    reset();
    return last;
}

void TAVO_mgr_packetCutter::reset()
{
    pending.clear();
    synced = false;
    unsynced = 0;
}
