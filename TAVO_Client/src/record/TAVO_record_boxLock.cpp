#include "TAVO_record_boxLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TAVO_record_boxLock::TAVO_record_boxLock(const QString &udn)
    : path(pathFor(udn))
{
}

TAVO_record_boxLock::~TAVO_record_boxLock()
{
    if (fd >= 0)
        ::close(fd);
}

QString TAVO_record_boxLock::pathFor(const QString &udn)
{
    // Read directly: Qt would warn on every run started by cron, which sets no runtime folder.
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    // A UDN is the box's own text; only its safe characters name the file.
    QString name = udn;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return runtime + QLatin1String("/tavo-client/") + name + QLatin1String(".lock");
}

bool TAVO_record_boxLock::take(QString *problem)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        *problem = QStringLiteral("cannot make the lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *problem = QStringLiteral("the box is being recorded by another command (lock %1)").arg(path);
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}
