#include "TAVO_mgr_cache.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryDir>

namespace {

// Longest name most file systems accept for one folder.
constexpr int maxFolderNameLength = 255;

bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && name.size() <= maxFolderNameLength && name != QLatin1String(".")
           && name != QLatin1String("..") && !name.contains(QLatin1Char('/'))
           && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

} // namespace

QString TAVO_mgr_cache::root()
{
    static const QString path = [] {
        QTemporaryDir dir(QDir::tempPath() + QLatin1String("/TAVO_Client-XXXXXX"));
        // The program deletes its cache itself when its window closes.
        dir.setAutoRemove(false);
        if (!dir.isValid())
            qDebug() << "Cannot create cache folder" << dir.errorString();
        return dir.path() + QLatin1Char('/');
    }();
    return path;
}

QString TAVO_mgr_cache::boxFolder(const QString &uuid)
{
    if (!isPlainFolderName(uuid)) {
        qDebug() << "Refused box folder name" << uuid;
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
        qDebug() << "Refused box file path" << boxPath;
        return QString();
    }
    return cleaned;
}
