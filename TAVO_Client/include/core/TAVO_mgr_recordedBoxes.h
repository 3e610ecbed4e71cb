#ifndef TAVO_MGR_RECORDEDBOXES_H
#define TAVO_MGR_RECORDEDBOXES_H

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

// The boxes being recorded, by this window or by a recording command: those whose lock some
// process holds. The kernel's table of locks (/proc/locks) tells which lock files are held; it
// is read rather than trying the locks, which for an instant would take a box from a recording
// command starting then. A lock dies with its process, so a recorder that crashed holds nothing.
// Locks are read again when the folder of locks changes and every few seconds, since taking or
// letting go of a lock changes no file.
class TAVO_mgr_recordedBoxes : public QObject
{
    Q_OBJECT

public:
    static constexpr int probeMs = 2000;

    explicit TAVO_mgr_recordedBoxes(QObject *parent = nullptr);

    // Who records the box, as its lock names it ("tavo-record (pid 1234) since 21:05:12"); empty
    // while nobody does.
    QString recorderOf(const QString &udn) const;
    // The same, unless this process itself records the box.
    QString otherRecorderOf(const QString &udn) const;
    // Reads the locks now.
    void probe();

Q_SIGNALS:
    void changed();

private:
    void watchFolder(const QString &folder);

    QFileSystemWatcher folderWatcher;
    QTimer ticker;
    QHash<QString, QString> recorders;  // lock file name -> who holds it
    QSet<QString> ownLocks;             // the lock file names this process holds
};

#endif
