#include "TAVO_mgr_recordedBoxes.h"

#include "TAVO_mgr_boxLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

#include <sys/stat.h>
#include <sys/sysmacros.h>

Q_LOGGING_CATEGORY(lcRecordedBoxes, "tavo.mgr.recordedBoxes", QtInfoMsg)

namespace {

// A file as /proc/locks names it: "major:minor:inode", the device's numbers in hex.
QString fileId(quint64 major, quint64 minor, quint64 inode)
{
    return QStringLiteral("%1:%2:%3").arg(major).arg(minor).arg(inode);
}

// The files with a lock taken by flock, and the process that took each, from lines such as
// "1: FLOCK  ADVISORY  WRITE 1234 00:1a:5678 0 EOF"; a waiter's line ("1: -> FLOCK ...") holds none.
QHash<QString, qint64> flockedFiles()
{
    QFile table(QStringLiteral("/proc/locks"));
    QHash<QString, qint64> files;
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return files;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK")
            continue;
        const QList<QByteArray> device = fields.at(5).split(':');
        if (device.size() == 3)
            files.insert(fileId(device.at(0).toULongLong(nullptr, 16), device.at(1).toULongLong(nullptr, 16),
                                device.at(2).toULongLong()),
                         fields.at(4).toLongLong());
    }
    return files;
}

} // namespace

TAVO_mgr_recordedBoxes::TAVO_mgr_recordedBoxes(QObject *parent)
    : QObject(parent)
{
    connect(&folderWatcher, &QFileSystemWatcher::directoryChanged, this, &TAVO_mgr_recordedBoxes::probe);
    connect(&ticker, &QTimer::timeout, this, &TAVO_mgr_recordedBoxes::probe);
    ticker.start(probeMs);
    probe();
}

QString TAVO_mgr_recordedBoxes::recorderOf(const QString &udn) const
{
    return recorders.value(QFileInfo(TAVO_mgr_boxLock::pathFor(udn)).fileName());
}

QString TAVO_mgr_recordedBoxes::otherRecorderOf(const QString &udn) const
{
    const QString name = QFileInfo(TAVO_mgr_boxLock::pathFor(udn)).fileName();
    return ownLocks.contains(name) ? QString() : recorders.value(name);
}

void TAVO_mgr_recordedBoxes::probe()
{
    const QString folder = TAVO_mgr_boxLock::folder();
    watchFolder(folder);
    const QHash<QString, qint64> locked = flockedFiles();
    QHash<QString, QString> now;
    QSet<QString> own;
    for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.lock")}, QDir::Files)) {
        struct stat status {};
        if (::stat(QFile::encodeName(file.filePath()).constData(), &status) != 0)
            continue;
        const auto holder = locked.constFind(fileId(major(status.st_dev), minor(status.st_dev), status.st_ino));
        if (holder == locked.constEnd())
            continue;
        now.insert(file.fileName(), TAVO_mgr_boxLock::holderOf(file.filePath()));
        if (*holder == QCoreApplication::applicationPid())
            own.insert(file.fileName());
    }
    if (now == recorders && own == ownLocks)
        return;
    qCDebug(lcRecordedBoxes) << "Boxes being recorded:" << now;
    recorders = now;
    ownLocks = own;
    Q_EMIT changed();
}

// The folder is made if missing, so that the first lock taken in it is seen at once; one that is
// not the user's own is not watched.
void TAVO_mgr_recordedBoxes::watchFolder(const QString &folder)
{
    if (folderWatcher.directories().contains(folder))
        return;
    QString problem;
    if (!TAVO_mgr_boxLock::makeFolder(&problem)) {
        qCDebug(lcRecordedBoxes).noquote() << problem;
        return;
    }
    folderWatcher.addPath(folder);
}
