#include "TAVO_ui_images.h"

#include <QCoreApplication>
#include <QFileInfo>

QString TAVO_ui_images::path(const QString &fileName)
{
    const QString relative = QLatin1String("image/") + fileName;
    const QString programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    for (const QString &candidate : {programFolder + relative,
                                     programFolder + QLatin1String(TAVO_DATA_FROM_PROGRAM "/") + relative}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return relative;
}
