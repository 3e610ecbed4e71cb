#include "TAVO_mgr_savedFiles.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTime>

namespace {

// A box name longer than this is cut: with the date, the copy number and the suffix, the file
// name stays within the 255 bytes a file system allows, whatever the name's characters.
constexpr int longestNamePart = 48;

// A box may call itself anything; its name must not lead out of the folder or hide the file.
QString fileNamePart(const QString &boxName)
{
    QString part;
    for (const QChar c : boxName.left(longestNamePart))
        part += (c.isPrint() && c != QLatin1Char('/') && c != QLatin1Char('\\')) ? c : QLatin1Char('_');
    while (part.startsWith(QLatin1Char('.')))
        part.remove(0, 1);
    part = part.trimmed();
    return part.isEmpty() ? QStringLiteral("Box") : part;
}

} // namespace

QString TAVO_mgr_savedFiles::createNew(QStandardPaths::StandardLocation folder, const QString &boxName,
                                       const QString &suffix, QString *problem, const QDateTime &when)
{
    const QString folderPath = QStandardPaths::writableLocation(folder);
    if (folderPath.isEmpty() || !QDir().mkpath(folderPath)) {
        *problem = QStringLiteral("the folder %1 cannot be made").arg(folderPath);
        return {};
    }
    const QString stem = fileNamePart(boxName) + when.toString(QStringLiteral(" yyyy-MM-dd HH.mm.ss"));
    for (int copy = 1;; ++copy) {
        const QString name = copy == 1 ? stem : QStringLiteral("%1 (%2)").arg(stem).arg(copy);
        QFile file(QDir(folderPath).filePath(name + QLatin1Char('.') + suffix));
        // NewOnly fails on a name that is taken, and only then is another name tried.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName();
        if (!file.exists()) {
            *problem = QStringLiteral("%1 cannot be written: %2").arg(file.fileName(), file.errorString());
            return {};
        }
    }
}

// A file's name never holds a "/", so the last folder found is the one the file is in.
QString TAVO_mgr_savedFiles::keptFileAtEndOf(const QString &text)
{
    for (const auto folder : {QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation}) {
        const QString folderPath = QStandardPaths::writableLocation(folder);
        if (folderPath.isEmpty())
            continue;
        const int at = text.lastIndexOf(folderPath + QLatin1Char('/'));
        const QString name = at < 0 ? QString() : text.mid(at + folderPath.size() + 1);
        if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
            return text.mid(at);
    }
    return {};
}

QString TAVO_mgr_savedFiles::sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString TAVO_mgr_savedFiles::durationText(qint64 ms)
{
    return QTime(0, 0).addMSecs(ms).toString(ms >= 3600000 ? QStringLiteral("H:mm:ss") : QStringLiteral("m:ss"));
}
