#include "TAVO_mgr_boxLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTime>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBoxLock, "tavo.record.lock", QtInfoMsg)

namespace {

// A folder that is the user's alone: not a link, owned by the user, closed to everyone else.
bool isOwnPrivateFolder(const QString &path)
{
    struct stat status {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
           && status.st_uid == ::getuid() && (status.st_mode & 077) == 0;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TAVO_mgr_boxLock::TAVO_mgr_boxLock(const QString &udn)
    : path(pathFor(udn))
{
}

TAVO_mgr_boxLock::~TAVO_mgr_boxLock()
{
    if (fd >= 0)
        ::close(fd);
}

QString TAVO_mgr_boxLock::folder()
{
    // Read directly: Qt would warn on every run started by cron, which sets no runtime folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isOwnPrivateFolder(runtime))
        return runtime + QLatin1String("/tavo-client");
    const QString userRuntime = QStringLiteral("/run/user/%1").arg(::getuid());
    if (isOwnPrivateFolder(userRuntime))
        return userRuntime + QLatin1String("/tavo-client");
    return QDir::tempPath() + QStringLiteral("/tavo-client-%1").arg(::getuid());
}

bool TAVO_mgr_boxLock::makeFolder(QString *problem)
{
    const QString made = folder();
    const QByteArray name = QFile::encodeName(made);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        *problem = QStringLiteral("cannot make the lock folder %1: %2").arg(made, systemError());
        return false;
    }
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
        *problem = QStringLiteral("the lock folder %1 is not the user's own folder").arg(made);
        return false;
    }
    // Ours but open to others (made by hand, or by an older version): closed now.
    if ((status.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0) {
        *problem = QStringLiteral("cannot close the lock folder %1 to others: %2").arg(made, systemError());
        return false;
    }
    return true;
}

QString TAVO_mgr_boxLock::pathFor(const QString &udn)
{
    // A UDN is the box's own text; only its safe characters name the file.
    QString name = udn.left(200);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return folder() + QLatin1Char('/') + name + QLatin1String(".lock");
}

QString TAVO_mgr_boxLock::holderOf(const QString &path)
{
    QFile file(path);
    QString holder = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readLine(200)).trimmed() : QString();
    holder.replace(QRegularExpression(QStringLiteral("[^[:print:]]")), QStringLiteral("?"));
    return holder.isEmpty() ? QStringLiteral("another program") : holder;
}

TAVO_mgr_boxLock::Outcome TAVO_mgr_boxLock::acquire(QString *problem)
{
    if (!makeFolder(problem))
        return Outcome::Unavailable;
    // A link planted where the lock goes is not followed.
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *problem = QStringLiteral("cannot make the lock %1: %2").arg(path, systemError());
        return Outcome::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *problem = QStringLiteral("the box is being recorded by %1 (lock %2)").arg(holderOf(path), path);
        ::close(fd);
        fd = -1;
        return Outcome::Busy;
    }
    writeHolder();
    return Outcome::Taken;
}

// Written only once the lock is ours: a process that finds the box taken leaves the name alone.
void TAVO_mgr_boxLock::writeHolder()
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
