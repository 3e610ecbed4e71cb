#ifndef TAVO_MGR_TSENTRY_H
#define TAVO_MGR_TSENTRY_H

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// Follows a transport stream packet by packet: its programme tables (PAT, PMT), its tracks and
// where a reader may start. That is a picture that decodes alone (an MPEG-2 sequence header, an
// H.264 or HEVC key picture with its parameter sets): a reader given the tables and then such a
// packet needs no probing, knows the tracks at once and shows the first picture it decodes. A
// programme without a picture track (a radio channel), or whose pictures show none that decodes
// alone for entryWaitMs of its clock (an encoder that refreshes pictures piece by piece, a
// picture type not read here), is entered at the next start of any of its tracks instead.
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
    // Longer than the groups of pictures encoders send (up to some 5 s), short of a person's
    // patience.
    static constexpr qint64 entryWaitMs = 6000;
    // A stamp further than this from the clock is a jump of the stream, not how far ahead it is.
    static constexpr qint64 leadLimitMs = 10000;
    // The clock is never moved further than this: a box sends its tracks well within a second of it.
    static constexpr qint64 shiftLimitMs = 3000;
    // The lead is measured once the pictures and the sound have each shown a stamp, or once this
    // much of the clock has passed (a track that shows none).
    static constexpr qint64 measureSpanMs = 1000;

    enum class Kind { Table, Entry, Other };

    // Takes the next whole packet and says what it is: one of the tables, the first packet of a
    // picture that decodes alone, or anything else.
    Kind take(const char *packet);
    // The newest PAT and PMT packets, empty until both were seen.
    QByteArray tables() const;
    // Forgets the stream (a new connection): its tables may differ.
    void reset();

    // Has the stream shown its clock?
    bool hasClock() const { return lastPcr >= 0; }
    // Does the programme have a picture track this reads?
    bool hasPictures() const { return video >= 0; }
    // How far to move the clock so that the track furthest behind comes just in time by it, in
    // clock ticks: the least lead of the stamps seen until both the pictures and the sound had
    // shown theirs, within 0 and shiftLimitMs. Measured once a connection; none until then.
    std::optional<qint64> clockShift() const { return shift; }
    // Moves every clock reference in `packets` (whole packets) by `ticks`.
    static void shiftClock(QByteArray &packets, qint64 ticks);
    // The clock reference (PCR base, in ticks) a packet carries, if any.
    static std::optional<qint64> clockReferenceOf(const char *packet);
    // The signed distance in ticks from `from` to `to` on the clock, which wraps at 2^33.
    static qint64 clockDistance(qint64 from, qint64 to);

private:
    void readPat(const char *payload, int size);
    void readPmt(const char *payload, int size);
    bool startsCleanPicture(const char *payload, int size) const;
    bool waitedTooLong() const;
    void noteLead(int pid, const char *payload, int size);
    void fixShift();

    int pmtPid = -1;
    int pcrPid = -1;
    int video = -1;
    int videoType = 0;
    int tracks = 0;          // elementary streams in the programme
    QByteArray pat;
    QByteArray pmt;
    qint64 lastPcr = -1;     // in 90 kHz ticks
    qint64 waitingSince = -1;  // the clock when the last picture that decodes alone came, or the first
    // The least lead seen of the pictures and of the other tracks, and the clock first seen.
    std::optional<qint64> pictureLead;
    std::optional<qint64> otherLead;
    qint64 firstPcr = -1;
    std::optional<qint64> shift;
};

#endif
