#include "TAVO_record_packetWriter.h"

#include <cerrno>
#include <algorithm>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

TAVO_record_packetWriter::TAVO_record_packetWriter(int fd)
    : fd(fd)
{
}

TAVO_record_packetWriter::Result TAVO_record_packetWriter::add(const QByteArray &bytes)
{
    pending.append(bytes);
    if (!aligned && !findPacketStart())
        return Result::Written;
    const qint64 whole = pending.size() - pending.size() % packetSize;
    notePictureStarts(pending.constData(), whole, written);
    const Result result = writeAll(pending.constData(), whole);
    pending.remove(0, whole);
    return result;
}

void TAVO_record_packetWriter::restart()
{
    trimToWholePictures();
    pending.clear();
    aligned = false;
}

// A packet starts with the sync byte, and so does the one after it: one sync byte alone may be
// a byte of the picture.
bool TAVO_record_packetWriter::findPacketStart()
{
    for (int at = 0; at + packetSize < pending.size(); ++at) {
        if (pending.at(at) == syncByte && pending.at(at + packetSize) == syncByte) {
            pending.remove(0, at);
            aligned = true;
            return true;
        }
    }
    return false;
}

TAVO_record_packetWriter::Result TAVO_record_packetWriter::writeAll(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0) {
            const int error = errno;
            failure = QString::fromLocal8Bit(std::strerror(error));
            if (error == EPIPE)
                return Result::ReaderGone;
            return error == ENOSPC || error == EFBIG || error == EDQUOT ? Result::Full : Result::Failed;
        }
        written += done;
        data += done;
        size -= done;
    }
    return Result::Written;
}

// A video unit (a picture) starts in the packet that begins a PES packet of a video stream
// (stream id 0xE0 to 0xEF) right after the header and any adaptation field.
void TAVO_record_packetWriter::notePictureStarts(const char *packets, qint64 size, qint64 offset)
{
    for (qint64 at = 0; at < size; at += packetSize) {
        const auto *packet = reinterpret_cast<const unsigned char *>(packets + at);
        const bool unitStart = packet[1] & 0x40;
        const int adaptation = (packet[3] >> 4) & 0x3;
        if (!unitStart || !(adaptation & 0x1))
            continue;
        const int payload = adaptation == 0x3 ? 5 + packet[4] : 4;
        if (payload + 4 <= packetSize && packet[payload] == 0 && packet[payload + 1] == 0 && packet[payload + 2] == 1
            && (packet[payload + 3] & 0xF0) == 0xE0)
            lastPictureStart = offset + at;
    }
}

void TAVO_record_packetWriter::trimToWholePictures()
{
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return;
    // A picture that began beyond what the failed write got out is not in the file at all.
    const qint64 cut = std::min(lastPictureStart, written - written % packetSize);
    if (cut == written)
        return;
    if (::ftruncate(fd, cut) != 0 || ::lseek(fd, cut, SEEK_SET) != cut) {
        failure += QStringLiteral(" (and the last picture could not be cut off)");
        return;
    }
    written = cut;
}
