#ifndef TAVO_RECORD_PACKETWRITER_H
#define TAVO_RECORD_PACKETWRITER_H

#include <QByteArray>
#include <QString>

// Writes an MPEG transport stream byte for byte, but only whole 188-byte packets: whatever
// stops the recording (a signal, the end time, a dropped stream, a full disk), the output ends
// on a packet boundary. A file is also cut before the picture that was written only in part,
// so that it plays to its end without a broken last picture.
class TAVO_record_packetWriter
{
public:
    static constexpr int packetSize = 188;
    static constexpr char syncByte = 0x47;

    enum class Result { Written, ReaderGone, Full, Failed };

    explicit TAVO_record_packetWriter(int fd);

    // Adds bytes of the stream; writes every whole packet they complete.
    Result add(const QByteArray &bytes);
    // A new connection starts: the partial packet and picture of the old one are dropped and
    // the new stream is read from its first packet boundary.
    void restart();
    // The recording ends: a file loses the picture it holds only in part. Standard output
    // cannot be taken back.
    void trimToWholePictures();

    qint64 bytesWritten() const { return written; }
    // Why the last write failed.
    QString problem() const { return failure; }

private:
    bool findPacketStart();
    void notePictureStarts(const char *packets, qint64 size, qint64 offset);
    Result writeAll(const char *data, qint64 size);

    int fd;
    QByteArray pending;
    bool aligned = false;
    qint64 written = 0;
    qint64 lastPictureStart = 0;  // where the last video unit begins in the output
    QString failure;
};

#endif
