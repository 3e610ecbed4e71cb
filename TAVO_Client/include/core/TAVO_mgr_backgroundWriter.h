#ifndef TAVO_MGR_BACKGROUNDWRITER_H
#define TAVO_MGR_BACKGROUNDWRITER_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>

class TAVO_mgr_packetWriter;

// Writes a box's packets to a file on a thread of its own (TAVO_mgr_packetWriter), so that a
// slow disk (a USB stick, a network share) never holds the thread that feeds the picture. What
// waits to be written is bounded: a disk that takes the stream more slowly than it comes for
// that long ends the writing, and says so.
class TAVO_mgr_backgroundWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 queueLimitBytes = 64 * 1024 * 1024;

    // Takes over `fd`, a file opened for writing.
    explicit TAVO_mgr_backgroundWriter(int fd, QObject *parent = nullptr);
    // Finishes the file when finish() was not called.
    ~TAVO_mgr_backgroundWriter() override;

    // Whole packets to write; never waits for the disk.
    void add(const QByteArray &packets);
    // A new connection starts: the picture of the old one written only in part is cut off.
    void restart();
    // Writes what waits, cuts off a picture written only in part and closes the file; returns
    // why the file could not be written or closed, empty when it was.
    QString finish();

    qint64 bytesWritten() const { return written; }

Q_SIGNALS:
    // Writing stopped: why. What was written until then stays.
    void failed(const QString &reason);

private:
    void writeOnThread(const QByteArray &packets);

    QThread thread;
    QObject *worker;  // lives on `thread`
    TAVO_mgr_packetWriter *writer;  // used on `thread` only
    int fd;
    std::atomic<qint64> queued{0};
    std::atomic<qint64> written{0};
    std::atomic<bool> broken{false};
    bool finished = false;
};

#endif
