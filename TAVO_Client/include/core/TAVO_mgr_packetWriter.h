#ifndef TAVO_MGR_PACKETWRITER_H
#define TAVO_MGR_PACKETWRITER_H

#include "TAVO_mgr_tsEntry.h"

#include <QByteArray>
#include <QString>

// Writes whole transport packets, as a reader of a box's stream gets them, byte for byte:
// whatever stops the recording (a signal, the end time, a dropped stream, a full disk), the
// output ends on a packet boundary. A file is also cut before the picture that was written only
// in part, so that it plays to its end without a broken last picture.
//
// A reader that takes no more for now (a pipe or socket opened without blocking) is not waited
// for: what it did not take is kept and given to it by flush() once it can take more.
class TAVO_mgr_packetWriter
{
public:
    static constexpr int packetSize = TAVO_mgr_tsEntry::packetSize;

    enum class Result { Written, Waiting, ReaderGone, Full, Failed };

    explicit TAVO_mgr_packetWriter(int fd);

    // Adds whole packets of the stream and writes them.
    Result add(const QByteArray &packets);
    // Writes what the reader did not take before; Waiting while some of it is left.
    Result flush();
    bool isWaiting() const { return !unwritten.isEmpty(); }
    // A new connection starts: the picture of the old one written only in part is cut off.
    void restart();
    // The recording ends: a file loses the picture it holds only in part. Standard output
    // cannot be taken back.
    void trimToWholePictures();

    qint64 bytesWritten() const { return written; }
    // Why the last write failed.
    QString problem() const { return failure; }

private:
    void notePictureStarts(const char *packets, qint64 size, qint64 offset);

    int fd;
    qint64 pieceBytes;      // the most one write gives
    QByteArray unwritten;   // whole packets the reader has not taken yet
    qint64 written = 0;
    qint64 lastPictureStart = -1;  // where this connection's last video unit begins in the output; -1: none seen
    qint64 lastSoundStart = -1;    // the same of its sound
    QString failure;
};

#endif
