#include "TAVO_ui_images.h"

#include <QCoreApplication>
#include <QFileInfo>

QString TAVO_ui_images::path(const QString &fileName)
{
    const QString relative = QLatin1String("image/") + fileName;
    const QString besideProgram = QCoreApplication::applicationDirPath() + QLatin1Char('/') + relative;
    return QFileInfo::exists(besideProgram) ? besideProgram : relative;
}
