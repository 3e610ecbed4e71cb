#include "TAVO_mgr_streamRequest.h"

#include "TAVO_mgr_streamSettings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Every box serves its encrypted stream with the same RSA-2048 key: base64 of its DER
// SubjectPublicKeyInfo, as GnuTLS keeps it in a known-hosts record.
const char boxPublicKey[] =
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAyoRBAf5XEBis/g6/PEbgZXApNaZPFjhH59H4qMeCQVZvSr1Q"
    "iP2aAeTaDWXQdAqP38MduNNL0yY2Q8vp6HqZJGQr/R2tiRxinkYB0dyEPnQox5ahXl9YPfY7UPhU0Cxa3J6XyoKACdFA"
    "Po793Aa+5SAZKW+fMlJNdHWWvFxbx4M9VWS3ox5LqZk0xXPEZIMZZeGjoelaAjWawLwj9Zl8PVP3vVOn4jF+cOYN3eUr"
    "U8E0ax4DPQ93xYl2Ny33s7G5hTfKfVWm4YW861pM5mVpkuXr0n88jkNbwvN2w5yizR4fVR9qtQpxvE77yZziL3HJemLo"
    "0aNm1TpLomvDbeLZ0QIDAQAB";

// The box's fixed account for its encrypted stream, and the port it serves it on.
const char encryptedStreamUser[] = "admin";
const char encryptedStreamPassword[] = "5820417369";
const char encryptedStreamPort[] = "8194";
// What the terminal shows in the password's place.
const char maskedPassword[] = "*****";

// The box names its stream port in its description: only a port number may reach the URL, where
// "8080@elsewhere" would send the player to another host.
QString streamingPort(const QString &named)
{
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,5}")));
    const int port = digits.match(named).hasMatch() ? named.toInt() : 0;
    return port > 0 && port <= 65535 ? QString::number(port) : QString();
}

QString urlWithPassword(const TAVO_SERVER &server, const char *password)
{
    const QString query = TAVO_mgr_streamRequest::query(TAVO_mgr_streamSettings::forBox(server.device.UDN));
    if (TAVO_mgr_streamRequest::isEncrypted(server))
        return QLatin1String("https://") + QLatin1String(encryptedStreamUser) + QLatin1Char(':')
               + QLatin1String(password) + QLatin1Char('@') + server.host + QLatin1Char(':')
               + QLatin1String(encryptedStreamPort) + QLatin1String("/?") + query;
    const QString port = streamingPort(server.tavoStreamer.streamingPort);
    if (port.isEmpty())
        return QString();
    return QLatin1String("http://") + server.host + QLatin1Char(':') + port + QLatin1String("/?") + query;
}

QString knownHostsFolder(const QString &homePath)
{
    return homePath + QLatin1String("/.gnutls");
}

bool containsRecord(const QByteArray &knownHosts, const QString &line)
{
    const QStringList tokens =
        QString::fromUtf8(knownHosts).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (token.startsWith(line))
            return true;
    }
    return false;
}

// Several clients may pin at the same moment, and a reader can see another's append half done;
// so the look-up and the append happen under one exclusive lock on the file. The descriptor
// appends, so the lines already there are never touched. A file whose last line lacks its line
// feed gets one first, or the record would be glued onto that line and never be found again.
void appendRecordIfMissing(const QString &path, const QString &line)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked < 0 && errno == EINTR);
    QFile file;
    if (locked == 0 && file.open(fd, QIODevice::ReadWrite, QFileDevice::DontCloseHandle)) {
        const QByteArray knownHosts = file.readAll();
        if (!containsRecord(knownHosts, line)) {
            QByteArray record = line.toUtf8() + '\n';
            if (!knownHosts.isEmpty() && !knownHosts.endsWith('\n'))
                record.prepend('\n');
            file.write(record);
        }
        file.close();
    }
    ::close(fd);
}

} // namespace

// The box's first source, sent over its own HTTP stream protocol, with the owner's settings
// between them.
QString TAVO_mgr_streamRequest::query(const TAVO_mgr_streamSettings &settings)
{
    return QLatin1String("src=1&") + settings.query() + QLatin1String("&protocol=hpd");
}

bool TAVO_mgr_streamRequest::isEncrypted(const TAVO_SERVER &server)
{
    return server.tavoStreamer.encryption == QLatin1String("AES128");
}

QString TAVO_mgr_streamRequest::streamUrl(const TAVO_SERVER &server)
{
    return urlWithPassword(server, encryptedStreamPassword);
}

QString TAVO_mgr_streamRequest::shownStreamUrl(const TAVO_SERVER &server)
{
    return urlWithPassword(server, maskedPassword);
}

QString TAVO_mgr_streamRequest::knownHostsLine(const QString &host)
{
    return QLatin1String("|g0|") + host + QLatin1String("|https|0|") + QLatin1String(boxPublicKey);
}

// A host text with blanks would break the one-line record (or add a record of its own), so such
// a host is never pinned.
void TAVO_mgr_streamRequest::pinBoxKey(const QString &host, const QString &homePath)
{
    const QString line = knownHostsLine(host);
    if (host.isEmpty() || line.contains(QRegularExpression(QStringLiteral("\\s"))))
        return;
    const QString folder = knownHostsFolder(homePath);
    if (!QDir(folder).exists())
        QDir().mkdir(folder);

    appendRecordIfMissing(folder + QLatin1String("/known_hosts"), line);
}
