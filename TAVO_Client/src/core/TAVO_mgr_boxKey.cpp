#include "TAVO_mgr_boxKey.h"

#include "TAVO_mgr_streamRequest.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

namespace {

QString knownHostsPath()
{
    return QDir::homePath() + QLatin1String("/.gnutls/known_hosts");
}

} // namespace

void TAVO_mgr_boxKey::pin(const QString &host)
{
    TAVO_mgr_streamRequest::pinBoxKey(host, QDir::homePath());
}

bool TAVO_mgr_boxKey::isPinned(const QString &host, const QSslCertificate &peer)
{
    QFile knownHosts(knownHostsPath());
    if (peer.isNull() || !knownHosts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pinned = pinnedKey(knownHosts.readAll(), host);
    return !pinned.isEmpty() && peer.publicKey().toDer().toBase64() == pinned;
}

bool TAVO_mgr_boxKey::isOtherKeyPinned(const QString &host)
{
    QFile knownHosts(knownHostsPath());
    if (!knownHosts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pinned = pinnedKey(knownHosts.readAll(), host);
    return !pinned.isEmpty() && pinned != pinnedKey(TAVO_mgr_streamRequest::knownHostsLine(host).toUtf8(), host);
}

QByteArray TAVO_mgr_boxKey::pinnedKey(const QByteArray &knownHosts, const QString &host)
{
    const QByteArray prefix = TAVO_mgr_streamRequest::knownHostsLine(host).toUtf8();
    const QByteArray hostPart = prefix.left(prefix.indexOf("|https|") + 7);
    for (const QByteArray &line : knownHosts.split('\n')) {
        if (line.startsWith(hostPart))
            return line.mid(line.lastIndexOf('|') + 1).trimmed();
    }
    return QByteArray();
}
