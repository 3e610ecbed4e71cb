#include "TAVO_mgr_streamRequest.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
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
const char encryptedStreamPrefix[] = "https://admin:5820417369@";
const char encryptedStreamPort[] = "8194";

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

// One write(2) on a descriptor opened for appending: the kernel places the whole record at the
// end of the file at once, so neither a crash nor another writer can leave half a line, and the
// lines already there are never touched. A file whose last line lacks its line feed gets one
// first, or the record would be glued onto that line and never be found again.
void appendRecord(const QString &path, const QString &line, bool needsLeadingLineFeed)
{
    QByteArray record = line.toUtf8() + '\n';
    if (needsLeadingLineFeed)
        record.prepend('\n');
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t written;
    do {
        written = ::write(fd, record.constData(), static_cast<size_t>(record.size()));
    } while (written < 0 && errno == EINTR);
    ::close(fd);
}

} // namespace

QString TAVO_mgr_streamRequest::query()
{
    const QString src = QStringLiteral("1");
    const QString vcodec = QStringLiteral("mpeg2");
    const QString acodec = QStringLiteral("aac");
    const QString res = QStringLiteral("720p");
    const QString fps = QStringLiteral("30");
    const QString bits = QStringLiteral("3");
    const QString protocol = QStringLiteral("hpd");
    return QLatin1String("src=") + src + QLatin1String("&vcodec=") + vcodec + QLatin1String("&acodec=") + acodec
           + QLatin1String("&res=") + res + QLatin1String("&fps=") + fps + QLatin1String("&bitrate=") + bits
           + QLatin1String("&protocol=") + protocol;
}

bool TAVO_mgr_streamRequest::isEncrypted(const TAVO_SERVER &server)
{
    return server.tavoStreamer.encryption == QLatin1String("AES128");
}

QString TAVO_mgr_streamRequest::streamUrl(const TAVO_SERVER &server)
{
    if (isEncrypted(server))
        return QLatin1String(encryptedStreamPrefix) + server.host + QLatin1Char(':')
               + QLatin1String(encryptedStreamPort) + QLatin1String("/?") + query();
    return QLatin1String("http://") + server.host + QLatin1Char(':') + server.tavoStreamer.streamingPort
           + QLatin1String("/?") + query();
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

    const QString path = folder + QLatin1String("/known_hosts");
    QByteArray knownHosts;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        knownHosts = file.readAll();
        file.close();
    }
    if (!containsRecord(knownHosts, line))
        appendRecord(path, line, !knownHosts.isEmpty() && !knownHosts.endsWith('\n'));
}
