#include "TAVO_upnp_boxFinder.h"

#include "TAVO_upnp_upnpControlPoint.h"

#include <QHostInfo>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QUdpSocket>

Q_LOGGING_CATEGORY(lcBoxAddress, "tavo.upnp.address", QtInfoMsg)

namespace {

const QString wellKnownDescriptionPath = QStringLiteral("/description.xml");
constexpr int maxSearches = 2;

// What the user typed, taken apart: a description URL, or a host with an optional port.
struct BoxAddress
{
    QUrl description;
    QString host;
    int port = -1;
    QString error;
};

BoxAddress readAddress(const QString &text)
{
    BoxAddress address;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        address.error = QStringLiteral("Type the box's address: a host name or IP address, host:port, "
                                       "or the URL of its description.");
        return address;
    }
    const bool hasScheme = trimmed.contains(QLatin1String("://"));
    const QUrl url(hasScheme ? trimmed : QLatin1String("http://") + trimmed, QUrl::StrictMode);
    const bool plainHostAndPort = hasScheme || (url.path().isEmpty() && !url.hasQuery());
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasFragment()
        || url.port() == 0 || !plainHostAndPort) {
        address.error = QStringLiteral("“%1” is not a host, host:port or http:// URL.").arg(trimmed);
        return address;
    }
    if (url.scheme() != QLatin1String("http")) {
        address.error = QStringLiteral("“%1”: boxes describe themselves over plain http://.").arg(trimmed);
        return address;
    }
    // The box's web page address ("http://host/") names the box, not its description.
    if (url.path().isEmpty() || url.path() == QLatin1String("/")) {
        address.host = url.host();
        address.port = url.port();
    } else {
        address.description = url;
    }
    return address;
}

// The LOCATION of an SSDP answer ("HTTP/1.1 200 OK" and headers), or an empty URL.
QUrl answerLocation(const QByteArray &answer)
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

} // namespace

QString TAVO_upnp_boxFinder::addressError(const QString &address)
{
    return readAddress(address).error;
}

QString TAVO_upnp_boxFinder::describe(Result result, const QString &address)
{
    if (result != Result::NoAnswer)
        return summarize(result, address);
    return summarize(result, address)
           + QStringLiteral(" Check the address and that the box is on; if it does not answer searches, give the "
                            "URL of its description (http://host:port/…).");
}

QString TAVO_upnp_boxFinder::summarize(Result result, const QString &address)
{
    switch (result) {
    case Result::Added:
        return QStringLiteral("The box at %1 is listed.").arg(address);
    case Result::AlreadyListed:
        return QStringLiteral("The box at %1 is listed already.").arg(address);
    case Result::NotAStreamerBox:
        return QStringLiteral("%1 answers, but it is not a streamer box.").arg(address);
    case Result::NoAnswer:
        return QStringLiteral("No box answers at %1.").arg(address);
    case Result::BadAddress:
        return addressError(address);
    case Result::CannotStore:
        break;
    }
    return QStringLiteral("The client has no folder to keep the description of %1 in.").arg(address);
}

QString TAVO_upnp_boxFinder::bareHost(const QString &address)
{
    const BoxAddress box = readAddress(address);
    return box.port == -1 ? box.host : QString();
}

QString TAVO_upnp_boxFinder::hostOf(const QString &address)
{
    const BoxAddress box = readAddress(address);
    return box.description.isValid() ? box.description.host() : box.host;
}

TAVO_upnp_boxFinder::TAVO_upnp_boxFinder(TAVO_upnp_upnpControlPoint *discovery, const QString &address, QObject *parent)
    : QObject(parent)
    , discovery(discovery)
    , address(address.trimmed())
{
    searchTimer.setSingleShot(true);
    connect(&searchTimer, &QTimer::timeout, this, &TAVO_upnp_boxFinder::sendSearch);
}

void TAVO_upnp_boxFinder::start()
{
    const BoxAddress box = readAddress(address);
    if (!box.error.isEmpty()) {
        finish(Result::BadAddress);
        return;
    }
    if (box.description.isValid()) {
        fetch(box.description);
        return;
    }
    host = box.host;
    port = box.port;
    QHostInfo::lookupHost(host, this, &TAVO_upnp_boxFinder::hostLookedUp);
}

void TAVO_upnp_boxFinder::hostLookedUp(const QHostInfo &info)
{
    // Discovery speaks IPv4 only, and so does this search.
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
            hostAddress = candidate;
            break;
        }
    }
    if (hostAddress.isNull()) {
        qCDebug(lcBoxAddress).noquote() << "Box address not found:" << host << info.errorString();
        finish(Result::NoAnswer);
        return;
    }
    searchSocket = new QUdpSocket(this);
    connect(searchSocket, &QUdpSocket::readyRead, this, &TAVO_upnp_boxFinder::readSearchAnswers);
    if (!searchSocket->bind(QHostAddress::AnyIPv4, 0)) {
        searchUnanswered();
        return;
    }
    QTimer::singleShot(searchTimeLimitMs, this, &TAVO_upnp_boxFinder::searchUnanswered);
    sendSearch();
}

void TAVO_upnp_boxFinder::sendSearch()
{
    const QByteArray search = "M-SEARCH * HTTP/1.1\r\nHOST: " + hostAddress.toString().toLatin1() + ':'
                              + QByteArray::number(ssdpPort) + "\r\nMAN: \"ssdp:discover\"\r\nST: "
                              + TAVO_upnp_upnpControlPoint::streamerDeviceType.toLatin1()
                              + "\r\nUSER-AGENT: Linux UPnP/1.1 TAVO_Client\r\n\r\n";
    searchSocket->writeDatagram(search, hostAddress, ssdpPort);
    if (++searchesSent < maxSearches)
        searchTimer.start(searchRepeatMs);
}

void TAVO_upnp_boxFinder::readSearchAnswers()
{
    while (searchSocket && searchSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = searchSocket->receiveDatagram();
        // Only the host asked may answer; what anybody else sends is ignored.
        if (!datagram.senderAddress().isEqual(hostAddress, QHostAddress::TolerantConversion))
            continue;
        const QUrl location = answerLocation(datagram.data());
        if (!location.isValid() || location.scheme() != QLatin1String("http") || location.path().isEmpty())
            continue;
        QUrl description;
        description.setScheme(QStringLiteral("http"));
        description.setHost(host);
        description.setPort(port != -1 ? port : location.port(80));
        description.setPath(location.path());
        fetch(description);
        return;
    }
}

void TAVO_upnp_boxFinder::searchUnanswered()
{
    if (!searchSocket)
        return;
    qCDebug(lcBoxAddress).noquote() << "No answer to a search at" << host;
    if (port == -1) {
        finish(Result::NoAnswer);
        return;
    }
    QUrl description;
    description.setScheme(QStringLiteral("http"));
    description.setHost(host);
    description.setPort(port);
    description.setPath(wellKnownDescriptionPath);
    fetch(description);
}

void TAVO_upnp_boxFinder::fetch(const QUrl &location)
{
    searchTimer.stop();
    // Called from the socket's own readyRead(): deleting it at once pulls it from under Qt.
    if (searchSocket)
        searchSocket->deleteLater();
    searchSocket = nullptr;
    qCDebug(lcBoxAddress).noquote() << "Box by address:" << location.toString();
    TAVO_xml_xmlDownloader *downloader = discovery->addBoxAt(location);
    if (!downloader) {
        finish(Result::CannotStore);
        return;
    }
    connect(downloader, &TAVO_xml_xmlDownloader::downloadFinished, this, &TAVO_upnp_boxFinder::downloadEnded);
}

void TAVO_upnp_boxFinder::downloadEnded(TAVO_xml_xmlDownloader::Outcome outcome, const QString &udn)
{
    switch (outcome) {
    case TAVO_xml_xmlDownloader::Outcome::Registered:
        finish(Result::Added, udn);
        break;
    case TAVO_xml_xmlDownloader::Outcome::AlreadyListed:
        finish(Result::AlreadyListed, udn);
        break;
    case TAVO_xml_xmlDownloader::Outcome::NoAnswer:
        finish(Result::NoAnswer);
        break;
    case TAVO_xml_xmlDownloader::Outcome::NotSaved:
        finish(Result::CannotStore);
        break;
    default:
        finish(Result::NotAStreamerBox);
        break;
    }
}

void TAVO_upnp_boxFinder::finish(Result result, const QString &udn)
{
    if (done)
        return;
    done = true;
    qCDebug(lcBoxAddress).noquote() << describe(result, address);
    Q_EMIT finished(result, udn);
    deleteLater();
}
