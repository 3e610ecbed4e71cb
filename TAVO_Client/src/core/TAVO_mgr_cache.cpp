#include "TAVO_mgr_cache.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <mutex>

Q_LOGGING_CATEGORY(lcCache, "tavo.mgr.cache", QtInfoMsg)

namespace {

// Longest name most file systems accept for one folder.
constexpr int maxFolderNameLength = 255;

bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && name.size() <= maxFolderNameLength && name != QLatin1String(".")
           && name != QLatin1String("..") && !name.contains(QLatin1Char('/'))
           && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

struct CacheRoot
{
    QString path;
    QString problem;
};

const CacheRoot &cacheRoot()
{
    static const CacheRoot made = [] {
        CacheRoot root;
        root.path = TAVO_mgr_cache::createRoot(QDir::tempPath(), &root.problem);
        if (root.path.isEmpty())
            qCDebug(lcCache).noquote() << "Cannot create cache folder:" << root.problem;
        return root;
    }();
    return made;
}

} // namespace

QString TAVO_mgr_cache::root()
{
    return cacheRoot().path;
}

QString TAVO_mgr_cache::problem()
{
    return cacheRoot().problem;
}

QString TAVO_mgr_cache::createRoot(const QString &tempFolder, QString *problem)
{
    // Qt names no temporary folder at all when $TMPDIR does not exist; the cache must not then
    // land at the top of the file system.
    if (tempFolder.isEmpty() || !QFileInfo(tempFolder).isDir()) {
        if (problem)
            *problem = QLatin1String("No temporary folder: \"") + qEnvironmentVariable("TMPDIR", tempFolder)
                       + QLatin1String("\" does not exist.");
        return QString();
    }
    QTemporaryDir dir(tempFolder + QLatin1String("/TAVO_Client-XXXXXX"));
    // The program deletes its cache itself when it ends.
    dir.setAutoRemove(false);
    if (!dir.isValid()) {
        if (problem)
            *problem = tempFolder + QLatin1String(": ") + dir.errorString();
        return QString();
    }
    return dir.path() + QLatin1Char('/');
}

bool TAVO_mgr_cache::isRoot(const QString &path)
{
    const QFileInfo folder(path);
    return !root().isEmpty() && path == root() && folder.isDir() && !folder.isSymLink();
}

// Deletes the files breadth-first, then the folders deepest first.
bool TAVO_mgr_cache::removeRoot(const QString &path)
{
    if (!isRoot(path)) {
        qCDebug(lcCache) << "Refused to delete" << path;
        return false;
    }
    static std::mutex removing;
    const std::lock_guard<std::mutex> lock(removing);
    QStringList dirNames{path};
    const QDir::Filters filter = QDir::Dirs | QDir::Files | QDir::Readable | QDir::Writable
                                 | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System;
    for (int i = 0; i < dirNames.size(); ++i) {
        QDir dir(dirNames.at(i));
        const QFileInfoList entries = dir.entryInfoList(filter, QDir::Name);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && !entry.isSymLink())
                dirNames.append(entry.filePath());
            else if (!dir.remove(entry.fileName()))
                return false;
        }
    }
    for (int i = dirNames.size() - 1; i >= 0; --i) {
        if (!QDir().rmdir(dirNames.at(i)))
            return false;
    }
    return true;
}

QString TAVO_mgr_cache::boxFolder(const QString &uuid)
{
    if (root().isEmpty())
        return QString();
    if (!isPlainFolderName(uuid)) {
        qCDebug(lcCache) << "Refused box folder name" << uuid;
        return QString();
    }
    return root() + uuid + QLatin1Char('/');
}

QString TAVO_mgr_cache::boxFile(const QString &uuid, const QString &boxPath)
{
    const QString folder = boxFolder(uuid);
    if (folder.isEmpty())
        return QString();
    const QString cleaned = QDir::cleanPath(folder + boxPath);
    const bool insideFolder = boxPath.startsWith(QLatin1Char('/')) && !boxPath.contains(QChar(0))
                              && !boxPath.contains(QLatin1Char('\\'))
                              && cleaned.startsWith(folder) && cleaned.size() > folder.size();
    if (!insideFolder) {
        qCDebug(lcCache) << "Refused box file path" << boxPath;
        return QString();
    }
    return cleaned;
}
