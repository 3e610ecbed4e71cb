#include "TAVO_record_packetWriter.h"

#include <cerrno>
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
    const Result result = writeAll(pending.constData(), whole);
    pending.remove(0, whole);
    return result;
}

void TAVO_record_packetWriter::restart()
{
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

void TAVO_record_packetWriter::trimToWholePackets()
{
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && written % packetSize != 0) {
        written -= written % packetSize;
        if (::ftruncate(fd, written) != 0)
            failure += QStringLiteral(" (and the last packet could not be cut off)");
    }
}
