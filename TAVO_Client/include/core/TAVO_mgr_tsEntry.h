#ifndef TAVO_MGR_TSENTRY_H
#define TAVO_MGR_TSENTRY_H

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// Follows a transport stream packet by packet: its programme tables (PAT, PMT), its picture
// track and where a picture starts that decodes alone (an MPEG-2 sequence header, an H.264 or
// HEVC key picture with its parameter sets). A reader given the tables and then such a packet
// needs no probing: it knows the tracks at once and shows the first picture it decodes.
//
// It also measures how far the box's clock (PCR) runs behind the stamps of what it sends, so
// that the clock can be moved to where the tracks are (shiftClock).
class TAVO_mgr_tsEntry
{
public:
    static constexpr int packetSize = 188;
    static constexpr char syncByte = 0x47;
    // The stream clock's ticks per millisecond (90 kHz).
    static constexpr qint64 ticksPerMs = 90;

    enum class Kind { Table, Entry, Other };

    // Takes the next whole packet and says what it is: one of the tables, the first packet of a
    // picture that decodes alone, or anything else.
    Kind take(const char *packet);
    // The newest PAT and PMT packets, empty until both were seen.
    QByteArray tables() const;
    // Forgets the stream (a new connection): its tables may differ.
    void reset();

    // How far ahead of the clock the track furthest behind has sent its stamps since the stream
    // began, in clock ticks: the least lead of any stamp seen. None until a clock and a stamp
    // were seen.
    std::optional<qint64> leastLead() const { return lead; }
    // Moves every clock reference in `packets` (whole packets) by `ticks`.
    void shiftClock(QByteArray &packets, qint64 ticks) const;

private:
    void readPat(const char *payload, int size);
    void readPmt(const char *payload, int size);
    bool startsCleanPicture(const char *payload, int size) const;
    void noteLead(const char *payload, int size);

    int pmtPid = -1;
    int pcrPid = -1;
    int video = -1;
    int videoType = 0;
    QByteArray pat;
    QByteArray pmt;
    qint64 lastPcr = -1;     // in 90 kHz ticks
    std::optional<qint64> lead;
};

#endif
