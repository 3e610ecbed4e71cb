#include "TAVO_mgr_tsEntry.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr qint64 clockWrap = qint64(1) << 33;  // PCR bases and stamps count modulo 2^33

int pidOf(const char *packet)
{
    return ((packet[1] & 0x1f) << 8) | quint8(packet[2]);
}

bool startsUnit(const char *packet)
{
    return (packet[1] & 0x40) != 0;
}

bool hasAdaptation(const char *packet)
{
    return (packet[3] & 0x20) != 0;
}

// Where the packet's payload begins, or packetSize when it has none.
int payloadOffset(const char *packet)
{
    if ((packet[3] & 0x10) == 0)
        return TAVO_mgr_tsEntry::packetSize;
    const int offset = hasAdaptation(packet) ? 5 + quint8(packet[4]) : 4;
    return std::min(offset, TAVO_mgr_tsEntry::packetSize);
}

bool hasPcr(const char *packet)
{
    return hasAdaptation(packet) && quint8(packet[4]) >= 7 && (packet[5] & 0x10) != 0;
}

qint64 pcrBase(const char *packet)
{
    const auto *p = reinterpret_cast<const quint8 *>(packet);
    return (qint64(p[6]) << 25) | (qint64(p[7]) << 17) | (qint64(p[8]) << 9) | (qint64(p[9]) << 1) | (p[10] >> 7);
}

void setPcrBase(char *packet, qint64 base)
{
    auto *p = reinterpret_cast<quint8 *>(packet);
    p[6] = quint8(base >> 25);
    p[7] = quint8(base >> 17);
    p[8] = quint8(base >> 9);
    p[9] = quint8(base >> 1);
    p[10] = quint8((p[10] & 0x7f) | ((base & 1) << 7));
}

// A 33-bit stamp of a PES header (5 bytes, marker bits between its parts).
qint64 stampAt(const quint8 *p)
{
    return (qint64((p[0] >> 1) & 0x07) << 30) | (qint64(p[1]) << 22) | (qint64(p[2] >> 1) << 15)
           | (qint64(p[3]) << 7) | (p[4] >> 1);
}

// The decoding stamp of the PES that starts in `payload` (its presentation stamp when it has no
// other), none when the payload starts no PES with a stamp.
std::optional<qint64> decodingStamp(const char *payload, int size)
{
    const auto *p = reinterpret_cast<const quint8 *>(payload);
    if (size < 19 || p[0] != 0 || p[1] != 0 || p[2] != 1)
        return std::nullopt;
    const int flags = p[7] >> 6;
    if (flags == 3)
        return stampAt(p + 14);
    if (flags == 2)
        return stampAt(p + 9);
    return std::nullopt;
}

bool startsPes(const char *payload, int size)
{
    return size >= 9 && payload[0] == 0 && payload[1] == 0 && payload[2] == 1;
}

// The section a PSI packet starts, after its pointer field; size 0 when it starts none.
int sectionStart(const char *payload, int size)
{
    if (size < 1)
        return size;
    return 1 + quint8(payload[0]);
}

bool isVideoType(int streamType)
{
    return streamType == 0x01 || streamType == 0x02 || streamType == 0x1b || streamType == 0x24;
}

// Does a unit with this start code begin a picture that decodes alone (with what it needs
// before it: a sequence header, parameter sets)?
bool isEntryCode(int streamType, quint8 code)
{
    switch (streamType) {
    case 0x01:
    case 0x02:
        return code == 0xb3;  // sequence header: an I picture follows
    case 0x1b:
        return (code & 0x1f) == 7 || (code & 0x1f) == 5;  // SPS, IDR slice
    case 0x24: {
        const int type = (code >> 1) & 0x3f;
        return type == 32 || type == 33 || (type >= 16 && type <= 21);  // VPS, SPS, IRAP
    }
    default:
        return false;
    }
}

} // namespace

TAVO_mgr_tsEntry::Kind TAVO_mgr_tsEntry::take(const char *packet)
{
    const int pid = pidOf(packet);
    if (hasPcr(packet) && pid == pcrPid) {
        lastPcr = pcrBase(packet);
        if (firstPcr < 0)
            firstPcr = waitingSince = lastPcr;
        if (!shift && clockDistance(firstPcr, lastPcr) >= measureSpanMs * ticksPerMs)
            fixShift();
    }
    const int offset = payloadOffset(packet);
    const char *payload = packet + offset;
    const int size = packetSize - offset;
    if (pid == 0) {
        if (startsUnit(packet))
            readPat(payload, size);
        pat = QByteArray(packet, packetSize);
        return Kind::Table;
    }
    if (pid == pmtPid) {
        if (startsUnit(packet))
            readPmt(payload, size);
        pmt = QByteArray(packet, packetSize);
        return Kind::Table;
    }
    if (!startsUnit(packet) || pmt.isEmpty() || !startsPes(payload, size))
        return Kind::Other;
    noteLead(pid, payload, size);
    if (pid == video && startsCleanPicture(payload, size)) {
        waitingSince = lastPcr;
        return Kind::Entry;
    }
    return video < 0 || waitedTooLong() ? Kind::Entry : Kind::Other;
}

void TAVO_mgr_tsEntry::readPat(const char *payload, int size)
{
    const int at = sectionStart(payload, size);
    const auto *s = reinterpret_cast<const quint8 *>(payload + at);
    const int available = size - at;
    if (available < 8 || s[0] != 0x00)
        return;
    const int end = std::min(3 + (((s[1] & 0x0f) << 8) | s[2]) - 4, available);
    for (int i = 8; i + 4 <= end; i += 4) {
        const int program = (s[i] << 8) | s[i + 1];
        if (program != 0) {
            pmtPid = ((s[i + 2] & 0x1f) << 8) | s[i + 3];
            return;
        }
    }
}

void TAVO_mgr_tsEntry::readPmt(const char *payload, int size)
{
    const int at = sectionStart(payload, size);
    const auto *s = reinterpret_cast<const quint8 *>(payload + at);
    const int available = size - at;
    if (available < 12 || s[0] != 0x02)
        return;
    const int end = std::min(3 + (((s[1] & 0x0f) << 8) | s[2]) - 4, available);
    pcrPid = ((s[8] & 0x1f) << 8) | s[9];
    // A programme map may change mid-stream: a track may go, or the pictures may go altogether.
    video = -1;
    videoType = 0;
    tracks = 0;
    int i = 12 + (((s[10] & 0x0f) << 8) | s[11]);
    for (; i + 5 <= end; i += 5 + (((s[i + 3] & 0x0f) << 8) | s[i + 4])) {
        ++tracks;
        if (video < 0 && isVideoType(s[i])) {
            videoType = s[i];
            video = ((s[i + 1] & 0x1f) << 8) | s[i + 2];
        }
    }
}

// Looks for the start codes within the packet that begins the PES: encoders put a picture's
// headers at the start of its PES.
bool TAVO_mgr_tsEntry::startsCleanPicture(const char *payload, int size) const
{
    const auto *p = reinterpret_cast<const quint8 *>(payload);
    for (int i = 9 + p[8]; i + 3 < size; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && isEntryCode(videoType, p[i + 3]))
            return true;
    }
    return false;
}

bool TAVO_mgr_tsEntry::waitedTooLong() const
{
    return waitingSince >= 0 && clockDistance(waitingSince, lastPcr) > entryWaitMs * ticksPerMs;
}

// A single stamp's lead depends on where its unit fell between two clock references and on how
// much a unit holds; the least of them is the track furthest behind. A box may send its sound
// ahead of its pictures or behind them, so both are waited for.
void TAVO_mgr_tsEntry::noteLead(int pid, const char *payload, int size)
{
    if (lastPcr < 0 || shift)
        return;
    const std::optional<qint64> stamp = decodingStamp(payload, size);
    if (!stamp)
        return;
    const qint64 ahead = clockDistance(lastPcr, *stamp);
    if (std::abs(ahead) > leadLimitMs * ticksPerMs)
        return;
    std::optional<qint64> &lead = pid == video ? pictureLead : otherLead;
    lead = lead ? std::min(*lead, ahead) : ahead;
    const bool picturesSeen = video < 0 || pictureLead;
    const bool othersSeen = otherLead || (video >= 0 && tracks <= 1);
    if (picturesSeen && othersSeen)
        fixShift();
}

void TAVO_mgr_tsEntry::fixShift()
{
    qint64 least = 0;
    if (pictureLead && otherLead)
        least = std::min(*pictureLead, *otherLead);
    else if (pictureLead || otherLead)
        least = pictureLead ? *pictureLead : *otherLead;
    shift = std::clamp<qint64>(least, 0, shiftLimitMs * ticksPerMs);
}

QByteArray TAVO_mgr_tsEntry::tables() const
{
    return pat.isEmpty() || pmt.isEmpty() ? QByteArray() : pat + pmt;
}

void TAVO_mgr_tsEntry::reset()
{
    *this = TAVO_mgr_tsEntry();
}

void TAVO_mgr_tsEntry::shiftClock(QByteArray &packets, qint64 ticks)
{
    char *data = packets.data();
    for (qsizetype at = 0; at + packetSize <= packets.size(); at += packetSize) {
        char *packet = data + at;
        // Every clock reference moves alike: a programme map may move the clock to another track
        // within what is given at once.
        if (hasPcr(packet))
            setPcrBase(packet, (pcrBase(packet) + ticks % clockWrap + clockWrap) % clockWrap);
    }
}

std::optional<qint64> TAVO_mgr_tsEntry::clockReferenceOf(const char *packet)
{
    return hasPcr(packet) ? std::optional<qint64>(pcrBase(packet)) : std::nullopt;
}

qint64 TAVO_mgr_tsEntry::clockDistance(qint64 from, qint64 to)
{
    qint64 distance = (to - from) % clockWrap;
    if (distance >= clockWrap / 2)
        distance -= clockWrap;
    else if (distance < -clockWrap / 2)
        distance += clockWrap;
    return distance;
}
