#include "TAVO_mgr_packetWriter.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isRegularFile(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

// A pipe takes a write of up to PIPE_BUF bytes whole or not at all: written in such pieces, what
// its reader gets ends on a packet boundary whenever the writing stops.
TAVO_mgr_packetWriter::TAVO_mgr_packetWriter(int fd)
    : fd(fd)
    , pieceBytes(isRegularFile(fd) ? std::numeric_limits<qint64>::max() : PIPE_BUF - PIPE_BUF % packetSize)
{
}

TAVO_mgr_packetWriter::Result TAVO_mgr_packetWriter::add(const QByteArray &packets)
{
    const qint64 whole = packets.size() - packets.size() % packetSize;
    notePictureStarts(packets.constData(), whole, written + unwritten.size());
    unwritten.append(packets.constData(), whole);
    return flush();
}

void TAVO_mgr_packetWriter::restart()
{
    trimToWholePictures();
    lastPictureStart = -1;
    lastSoundStart = -1;
}

TAVO_mgr_packetWriter::Result TAVO_mgr_packetWriter::flush()
{
    while (!unwritten.isEmpty()) {
        const ssize_t done = ::write(fd, unwritten.constData(), size_t(std::min<qint64>(unwritten.size(), pieceBytes)));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Result::Waiting;
        if (done < 0) {
            const int error = errno;
            failure = QString::fromLocal8Bit(std::strerror(error));
            if (error == EPIPE)
                return Result::ReaderGone;
            return error == ENOSPC || error == EFBIG || error == EDQUOT ? Result::Full : Result::Failed;
        }
        written += done;
        unwritten.remove(0, done);
    }
    return Result::Written;
}

// A video unit (a picture) starts in the packet that begins a PES packet of a video stream
// (stream id 0xE0 to 0xEF) right after the header and any adaptation field.
void TAVO_mgr_packetWriter::notePictureStarts(const char *packets, qint64 size, qint64 offset)
{
    for (qint64 at = 0; at < size; at += packetSize) {
        const auto *packet = reinterpret_cast<const unsigned char *>(packets + at);
        const bool unitStart = packet[1] & 0x40;
        const int adaptation = (packet[3] >> 4) & 0x3;
        if (!unitStart || !(adaptation & 0x1))
            continue;
        const int payload = adaptation == 0x3 ? 5 + packet[4] : 4;
        if (payload + 4 > packetSize || packet[payload] != 0 || packet[payload + 1] != 0 || packet[payload + 2] != 1)
            continue;
        const int streamId = packet[payload + 3];
        if ((streamId & 0xF0) == 0xE0)
            lastPictureStart = offset + at;
        else if ((streamId & 0xE0) == 0xC0 || streamId == 0xBD)
            lastSoundStart = offset + at;
    }
}

// A stream without a picture start seen (a radio channel, sound alone, a video this does not
// recognise) ends on its last whole unit of sound, and one without either keeps every whole packet.
void TAVO_mgr_packetWriter::trimToWholePictures()
{
    if (!isRegularFile(fd))
        return;
    const qint64 wholePackets = written - written % packetSize;
    // A picture that began beyond what the failed write got out is not in the file at all.
    const qint64 lastStart = lastPictureStart >= 0 ? lastPictureStart : lastSoundStart;
    const qint64 cut = lastStart < 0 ? wholePackets : std::min(lastStart, wholePackets);
    if (cut == written)
        return;
    if (::ftruncate(fd, cut) != 0 || ::lseek(fd, cut, SEEK_SET) != cut) {
        failure += QStringLiteral(" (and the last picture could not be cut off)");
        return;
    }
    written = cut;
}
