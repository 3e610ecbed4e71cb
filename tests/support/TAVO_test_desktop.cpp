#include "TAVO_test_desktop.h"

#include <QProcess>

QString TAVO_test_desktop::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool TAVO_test_desktop::closeWindow(const QString &windowId)
{
    return QProcess::execute(QStringLiteral(TAVO_BIN_DIR "/tavo_closewindow"), {windowId}) == 0;
}
