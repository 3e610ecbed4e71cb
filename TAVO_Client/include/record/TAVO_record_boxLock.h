#ifndef TAVO_RECORD_BOXLOCK_H
#define TAVO_RECORD_BOXLOCK_H

#include <QString>

// One box, one tuner: a box being recorded holds a lock in the user's runtime folder, a file
// named by the box's UDN. The lock is the kernel's (flock), so it goes with the process that
// held it, however that process ended. The holder writes its name into the file, so that whoever
// finds the box taken can say by whom.
class TAVO_record_boxLock
{
public:
    explicit TAVO_record_boxLock(const QString &udn);
    ~TAVO_record_boxLock();
    TAVO_record_boxLock(const TAVO_record_boxLock &) = delete;
    TAVO_record_boxLock &operator=(const TAVO_record_boxLock &) = delete;

    // False when another process holds the box; `problem` says why, and by whom.
    bool take(QString *problem);

    // $XDG_RUNTIME_DIR/tavo-client/<udn>.lock (the temporary folder when no runtime folder is set).
    static QString pathFor(const QString &udn);
    // The folder of every box's lock.
    static QString folder();
    // Who the lock file names as its holder: "tavo-record (pid 1234) since 21:05:12", or
    // "another program" when it names none. Meaningful only while the lock is held.
    static QString holderOf(const QString &path);

private:
    void writeHolder();

    QString path;
    int fd = -1;
};

#endif
