#ifndef TAVO_MGR_BOXLOCK_H
#define TAVO_MGR_BOXLOCK_H

#include <QString>

// One box, one tuner: a box being recorded holds a lock in the user's own runtime folder, a file
// named by the box's UDN. The lock is the kernel's (flock), so it goes with the process that
// held it, however that process ended. The holder writes its name into the file, so that whoever
// finds the box taken can say by whom.
class TAVO_mgr_boxLock
{
public:
    enum class Outcome { Taken, Busy, Unavailable };

    explicit TAVO_mgr_boxLock(const QString &udn);
    ~TAVO_mgr_boxLock();
    TAVO_mgr_boxLock(const TAVO_mgr_boxLock &) = delete;
    TAVO_mgr_boxLock &operator=(const TAVO_mgr_boxLock &) = delete;

    // Busy when another process holds the box, Unavailable when the lock cannot be made;
    // `problem` then says why, and by whom.
    Outcome acquire(QString *problem);
    // True when the box is ours now.
    bool take(QString *problem) { return acquire(problem) == Outcome::Taken; }

    // <folder>/<udn>.lock
    static QString pathFor(const QString &udn);
    // The folder of every box's lock, the same whatever started the recorder (a desktop session,
    // a timer, cron): tavo-client in the runtime folder ($XDG_RUNTIME_DIR, else /run/user/UID)
    // when that is the user's own, else the user's own tavo-client-UID in the temporary folder.
    static QString folder();
    // Makes the folder, only the user's (mode 0700); false with `problem` when it is not the
    // user's own folder (a link, another owner) or cannot be made.
    static bool makeFolder(QString *problem);
    // Who the lock file names as its holder: "tavo-record (pid 1234) since 21:05:12", or
    // "another program" when it names none. Meaningful only while the lock is held.
    static QString holderOf(const QString &path);

private:
    void writeHolder();

    QString path;
    int fd = -1;
};

#endif
