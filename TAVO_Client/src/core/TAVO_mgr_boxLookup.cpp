#include "TAVO_mgr_boxLookup.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QUdpSocket>

// Named as the window's manual gives it, for the boxes its --box adds.
Q_LOGGING_CATEGORY(lcBoxAddress, "tavo.upnp.address", QtInfoMsg)

namespace {

const QString wellKnownDescriptionPath = QStringLiteral("/description.xml");

// Discovery speaks IPv4, and a host that has an IPv4 address is asked there; a host with only
// IPv6 addresses is asked at its first.
QHostAddress preferredAddress(const QList<QHostAddress> &addresses)
{
    for (const QHostAddress &candidate : addresses) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return candidate;
    }
    return addresses.value(0);
}

} // namespace

QUrl TAVO_mgr_boxLookup::answerLocation(const QByteArray &answer)
{
    const QList<QByteArray> lines = answer.split('\n');
    if (!lines.value(0).startsWith("HTTP/1.1 200"))
        return QUrl();
    for (const QByteArray &line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "location")
            return QUrl(QString::fromUtf8(line.mid(colon + 1).trimmed()), QUrl::StrictMode);
    }
    return QUrl();
}

TAVO_mgr_boxLookup::TAVO_mgr_boxLookup(const TAVO_mgr_boxAddress &address, QObject *parent)
    : QObject(parent)
    , address(address)
{
    repeatTimer.setSingleShot(true);
    connect(&repeatTimer, &QTimer::timeout, this, &TAVO_mgr_boxLookup::sendSearch);
    limitTimer.setSingleShot(true);
    connect(&limitTimer, &QTimer::timeout, this, &TAVO_mgr_boxLookup::searchUnanswered);
}

void TAVO_mgr_boxLookup::start()
{
    if (address.description.isValid()) {
        report(address.description);
        return;
    }
    QHostInfo::lookupHost(address.host, this, &TAVO_mgr_boxLookup::hostLookedUp);
}

void TAVO_mgr_boxLookup::hostLookedUp(const QHostInfo &info)
{
    hostAddress = preferredAddress(info.addresses());
    if (hostAddress.isNull()) {
        qCDebug(lcBoxAddress).noquote() << "Box address not found:" << address.host << info.errorString();
        done = true;
        Q_EMIT unanswered();
        return;
    }
    searchSocket = new QUdpSocket(this);
    connect(searchSocket, &QUdpSocket::readyRead, this, &TAVO_mgr_boxLookup::readSearchAnswers);
    const bool v4 = hostAddress.protocol() == QAbstractSocket::IPv4Protocol;
    if (!searchSocket->bind(v4 ? QHostAddress::AnyIPv4 : QHostAddress::AnyIPv6, 0)) {
        searchUnanswered();
        return;
    }
    limitTimer.start(searchTimeLimitMs);
    sendSearch();
    repeatTimer.start(searchRepeatMs);
}

void TAVO_mgr_boxLookup::sendSearch()
{
    const QString host = hostAddress.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + hostAddress.toString() + QLatin1Char(']')
                             : hostAddress.toString();
    const QByteArray search = "M-SEARCH * HTTP/1.1\r\nHOST: " + host.toLatin1() + ':' + QByteArray::number(ssdpPort)
                              + "\r\nMAN: \"ssdp:discover\"\r\nST: " + streamerDeviceType
                              + "\r\nUSER-AGENT: Linux UPnP/1.1 TAVO_Client\r\n\r\n";
    searchSocket->writeDatagram(search, hostAddress, ssdpPort);
}

void TAVO_mgr_boxLookup::readSearchAnswers()
{
    while (searchSocket && searchSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = searchSocket->receiveDatagram(datagramLimitBytes);
        // Only the host asked may answer; what anybody else sends is ignored.
        if (!datagram.senderAddress().isEqual(hostAddress, QHostAddress::TolerantConversion))
            continue;
        const QUrl location = answerLocation(datagram.data());
        if (!location.isValid() || location.scheme() != QLatin1String("http") || location.path().isEmpty())
            continue;
        report(descriptionAt(address.port != -1 ? address.port : location.port(80), location.path()));
        return;
    }
}

void TAVO_mgr_boxLookup::searchUnanswered()
{
    if (done)
        return;
    qCDebug(lcBoxAddress).noquote() << "No answer to a search at" << address.host;
    if (address.port == -1) {
        done = true;
        Q_EMIT unanswered();
        return;
    }
    report(descriptionAt(address.port, wellKnownDescriptionPath));
}

QUrl TAVO_mgr_boxLookup::descriptionAt(int port, const QString &path) const
{
    QUrl description;
    description.setScheme(QStringLiteral("http"));
    description.setHost(address.host);
    description.setPort(port);
    description.setPath(path);
    return description;
}

void TAVO_mgr_boxLookup::report(const QUrl &description)
{
    if (done)
        return;
    done = true;
    repeatTimer.stop();
    limitTimer.stop();
    // Called from the socket's own readyRead(): deleting it at once pulls it from under Qt.
    if (searchSocket)
        searchSocket->deleteLater();
    searchSocket = nullptr;
    qCDebug(lcBoxAddress).noquote() << "Box by address:" << description.toString();
    Q_EMIT located(description);
}
