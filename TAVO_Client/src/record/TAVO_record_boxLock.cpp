#include "TAVO_record_boxLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTime>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBoxLock, "tavo.record.lock", QtInfoMsg)

TAVO_record_boxLock::TAVO_record_boxLock(const QString &udn)
    : path(pathFor(udn))
{
}

TAVO_record_boxLock::~TAVO_record_boxLock()
{
    if (fd >= 0)
        ::close(fd);
}

QString TAVO_record_boxLock::folder()
{
    // Read directly: Qt would warn on every run started by cron, which sets no runtime folder.
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime + QLatin1String("/tavo-client");
}

QString TAVO_record_boxLock::pathFor(const QString &udn)
{
    // A UDN is the box's own text; only its safe characters name the file.
    QString name = udn;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return folder() + QLatin1Char('/') + name + QLatin1String(".lock");
}

QString TAVO_record_boxLock::holderOf(const QString &path)
{
    QFile file(path);
    const QString holder = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(200)).trimmed() : QString();
    return holder.isEmpty() ? QStringLiteral("another program") : holder;
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
        *problem = QStringLiteral("the box is being recorded by %1 (lock %2)").arg(holderOf(path), path);
        ::close(fd);
        fd = -1;
        return false;
    }
    writeHolder();
    return true;
}

// Written only once the lock is ours: a process that finds the box taken leaves the name alone.
void TAVO_record_boxLock::writeHolder()
{
    const QByteArray holder = QStringLiteral("%1 (pid %2) since %3\n")
                                  .arg(QCoreApplication::applicationName())
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                                  .toUtf8();
    // The name is only a courtesy to whoever finds the box taken: the lock holds without it.
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, holder.constData(), size_t(holder.size()), 0) != holder.size())
        qCDebug(lcBoxLock).noquote() << "Could not name the holder in" << path << std::strerror(errno);
}
