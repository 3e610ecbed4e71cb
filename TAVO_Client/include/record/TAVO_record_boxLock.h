#ifndef TAVO_RECORD_BOXLOCK_H
#define TAVO_RECORD_BOXLOCK_H

#include <QString>

// One box, one tuner: a box being recorded holds a lock in the user's runtime folder, a file
// named by the box's UDN. The lock is the kernel's (flock), so it goes with the process that
// held it, however that process ended.
class TAVO_record_boxLock
{
public:
    explicit TAVO_record_boxLock(const QString &udn);
    ~TAVO_record_boxLock();
    TAVO_record_boxLock(const TAVO_record_boxLock &) = delete;
    TAVO_record_boxLock &operator=(const TAVO_record_boxLock &) = delete;

    // False when another process holds the box; `problem` says why.
    bool take(QString *problem);

    // $XDG_RUNTIME_DIR/tavo-client/<udn>.lock (the temporary folder when no runtime folder is set).
    static QString pathFor(const QString &udn);

private:
    QString path;
    int fd = -1;
};

#endif
