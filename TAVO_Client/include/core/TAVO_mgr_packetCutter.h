#ifndef TAVO_MGR_PACKETCUTTER_H
#define TAVO_MGR_PACKETCUTTER_H

#include "TAVO_mgr_tsEntry.h"

#include <QByteArray>
#include <QtGlobal>

// Cuts a byte stream into whole 188-byte transport packets. A packet is taken only when the next
// one starts where it ends: a single sync byte may be a byte of a picture or of an error page.
// After bytes were lost, sync is found again where three packets in a row start with their sync
// byte; the bytes skipped until then are counted, so that a stream that holds no packets at all
// (an error page, packets of another size) can be told apart from one that lost a few bytes.
class TAVO_mgr_packetCutter
{
public:
    static constexpr int packetSize = TAVO_mgr_tsEntry::packetSize;
    static constexpr char syncByte = TAVO_mgr_tsEntry::syncByte;
    // A transport stream shows its packet boundaries within a few packets; this many bytes
    // without one are something else.
    static constexpr qint64 unsyncedLimitBytes = 64 * 1024;

    // Adds bytes of the stream and returns the whole packets they complete, in order. The last
    // packet is held until the first byte after it shows that it is whole.
    QByteArray add(const QByteArray &bytes);
    // The stream has ended: the packet held last, when it is whole and in sync.
    QByteArray finish();
    // A new connection: nothing of the old one is kept.
    void reset();

    // Bytes skipped since the last packet taken, and those held while no boundary is known.
    qint64 unsyncedBytes() const { return unsynced + (synced ? 0 : pending.size()); }
    bool isSynced() const { return synced; }

private:
    bool findSync(qsizetype &at);

    QByteArray pending;  // bytes not yet in a packet taken
    bool synced = false;
    qint64 unsynced = 0;
};

#endif
