#ifndef TAVO_RECORD_PACKETWRITER_H
#define TAVO_RECORD_PACKETWRITER_H

#include <QByteArray>
#include <QString>

// Writes an MPEG transport stream byte for byte, but only whole 188-byte packets: whatever
// stops the recording (a signal, the end time, a dropped stream, a full disk), the output ends
// on a packet boundary. A file is also cut before the picture that was written only in part,
// so that it plays to its end without a broken last picture.
//
// A reader that takes no more for now (a pipe or socket opened without blocking) is not waited
// for: what it did not take is kept and given to it by flush() once it can take more.
class TAVO_record_packetWriter
{
public:
    static constexpr int packetSize = 188;
    static constexpr char syncByte = 0x47;
    // A stream whose first bytes hold no packet boundary is not a transport stream (an error
    // page, packets of another size); a transport stream shows one within two packets.
    static constexpr qint64 unsyncedLimitBytes = 64 * 1024;

    enum class Result { Written, Waiting, ReaderGone, Full, Failed, NotTransportStream };

    explicit TAVO_record_packetWriter(int fd);

    // Adds bytes of the stream; writes every whole packet they complete.
    Result add(const QByteArray &bytes);
    // Writes what the reader did not take before; Waiting while some of it is left.
    Result flush();
    bool isWaiting() const { return !unwritten.isEmpty(); }
    // A new connection starts: the partial packet and picture of the old one are dropped and
    // the new stream is read from its first packet boundary.
    void restart();
    // The recording ends: a file loses the picture it holds only in part. Standard output
    // cannot be taken back.
    void trimToWholePictures();

    qint64 bytesWritten() const { return written; }
    // Bytes read since the last whole packet that held no packet boundary.
    qint64 unsyncedBytes() const { return unsynced + (aligned ? 0 : pending.size()); }
    // Why the last write failed.
    QString problem() const { return failure; }

private:
    bool findPacketStart();
    qint64 alignedPackets() const;
    void notePictureStarts(const char *packets, qint64 size, qint64 offset);

    int fd;
    qint64 pieceBytes;      // the most one write gives
    QByteArray pending;     // bytes of the stream not yet in a whole packet
    QByteArray unwritten;   // whole packets the reader has not taken yet
    bool aligned = false;
    qint64 unsynced = 0;
    qint64 written = 0;
    qint64 lastPictureStart = -1;  // where this connection's last video unit begins in the output; -1: none seen
    QString failure;
};

#endif
