#include "unicastSearch.h"

#include "requestLog.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

constexpr quint16 ssdpPort = 1900;
const char serverId[] = "Linux/6 UPnP/1.0 TavoStreamer/1.0";

QString headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return QString();
}

} // namespace

UnicastSearchResponder::UnicastSearchResponder(const QHostAddress &address, const QString &uuid,
                                               const QString &deviceType, const QString &location,
                                               RequestLog *log, QObject *parent)
    : QObject(parent), m_address(address), m_uuid(uuid), m_deviceType(deviceType), m_location(location),
      m_log(log), m_socket(new QUdpSocket(this))
{
}

// Control points on this machine hold port 1900 on every address for multicast; a socket on
// the box's own address shares the port and, being the closer match, receives what is sent to it.
bool UnicastSearchResponder::start(QString *error)
{
    if (!m_socket->bind(m_address, ssdpPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("SSDP on %1:%2: %3").arg(m_address.toString()).arg(ssdpPort).arg(m_socket->errorString());
        return false;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &UnicastSearchResponder::readSearches);
    return true;
}

void UnicastSearchResponder::readSearches()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const QList<QByteArray> lines = datagram.data().split('\n');
        const QByteArray requestLine = lines.value(0).trimmed();
        if (!requestLine.startsWith("M-SEARCH "))
            continue;
        m_log->record(ssdpPort, requestLine);
        const QString searchTarget = headerValue(lines, "st");
        const QString usn = usnFor(searchTarget);
        if (usn.isEmpty())
            continue;
        const QString answer = QStringLiteral("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\n"
                                              "LOCATION: %1\r\nSERVER: %2\r\nST: %3\r\nUSN: %4\r\n\r\n")
                                   .arg(m_location, QLatin1String(serverId), searchTarget, usn);
        m_socket->writeDatagram(answer.toUtf8(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

// As UPnP requires (and GSSDP does for the multicast boxes), a search for an older version of
// the box's type is answered with that version's type.
bool UnicastSearchResponder::isOwnTypeOrOlder(const QString &searchTarget) const
{
    const int versionAt = m_deviceType.lastIndexOf(QLatin1Char(':')) + 1;
    bool isNumber = false;
    const int searchedVersion = searchTarget.mid(versionAt).toInt(&isNumber);
    return searchTarget.left(versionAt) == m_deviceType.left(versionAt) && isNumber
           && searchedVersion <= m_deviceType.mid(versionAt).toInt();
}

QString UnicastSearchResponder::usnFor(const QString &searchTarget) const
{
    const QString udn = QStringLiteral("uuid:") + m_uuid;
    if (searchTarget == udn)
        return udn;
    if (searchTarget == QLatin1String("ssdp:all") || searchTarget == QLatin1String("upnp:rootdevice")
        || isOwnTypeOrOlder(searchTarget))
        return udn + QStringLiteral("::") + searchTarget;
    return QString();
}
