#include "TAVO_record_boxSearch.h"

#include "TAVO_xml_deviceDescription.h"

#include <QDomDocument>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QNetworkReply>

Q_LOGGING_CATEGORY(lcBoxSearch, "tavo.record.search", QtInfoMsg)

const QString TAVO_record_boxSearch::streamerDeviceType = QStringLiteral("urn:vornex-com:device:TavoStreamer:1");

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 ssdpPort = 1900;

QByteArray searchMessage()
{
    return "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: "
           + TAVO_record_boxSearch::streamerDeviceType.toUtf8() + "\r\n\r\n";
}

QUrl locationOf(const QByteArray &answer)
{
    for (const QByteArray &line : answer.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "location")
            return QUrl(QString::fromUtf8(line.mid(colon + 1).trimmed()));
    }
    return QUrl();
}

QString bareUdn(const QString &text)
{
    return text.startsWith(QLatin1String("uuid:")) ? text.mid(5) : text;
}

// The stream's and the remote's URLs are made from the host: an IPv6 address goes in brackets.
QString hostForUrls(const QUrl &url)
{
    const QString host = url.host();
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

bool isAt(const QUrl &url, const QHostAddress &address)
{
    return !address.isNull() && QHostAddress(url.host()).isEqual(address, QHostAddress::TolerantConversion);
}

} // namespace

TAVO_record_boxSearch::TAVO_record_boxSearch(const TAVO_record_boxName &box, int timeLimitMs, QObject *parent)
    : QObject(parent)
    , box(box)
    , timeLimitMs(timeLimitMs)
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(&socket, &QUdpSocket::readyRead, this, &TAVO_record_boxSearch::readAnswers);
    connect(&repeat, &QTimer::timeout, this, &TAVO_record_boxSearch::sendSearch);
    connect(&network, &QNetworkAccessManager::finished, this, &TAVO_record_boxSearch::descriptionArrived);
    timeLimit.setSingleShot(true);
    connect(&timeLimit, &QTimer::timeout, this, &TAVO_record_boxSearch::giveUp);
}

void TAVO_record_boxSearch::start()
{
    // SSDP's group is IPv4; a box at an IPv6 address is asked from a socket of both kinds.
    if (box.kind != TAVO_record_boxName::Kind::Description)
        socket.bind(box.address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::Any : QHostAddress::AnyIPv4, 0);
    timeLimit.start(timeLimitMs);
    repeat.start(searchRepeatMs);
    sendSearch();
}

bool TAVO_record_boxSearch::matches(const TAVO_SERVER &server, const QUrl &description, const TAVO_record_boxName &box)
{
    switch (box.kind) {
    case TAVO_record_boxName::Kind::Description:
        return true;  // the one description read is the box named
    case TAVO_record_boxName::Kind::AddressAndPort:
        return isAt(description, box.address) && description.port(80) == box.port;
    case TAVO_record_boxName::Kind::NameOrUdn:
    case TAVO_record_boxName::Kind::Address:
        break;
    }
    return server.device.friendlyName.compare(box.text, Qt::CaseInsensitive) == 0
           || server.device.UDN.compare(bareUdn(box.text), Qt::CaseInsensitive) == 0 || isAt(description, box.address);
}

// A datagram can be lost; the search goes out again every second until the time is up.
void TAVO_record_boxSearch::sendSearch()
{
    if (box.kind == TAVO_record_boxName::Kind::Description) {
        Q_EMIT progress(QStringLiteral("Reading %1…").arg(box.text));
        fetchDescription(box.description);
        return;
    }
    Q_EMIT progress(QStringLiteral("Searching for %1…").arg(box.text));
    socket.writeDatagram(searchMessage(), ssdpGroup, ssdpPort);
    if (!box.address.isNull())
        socket.writeDatagram(searchMessage(), box.address, ssdpPort);
    // A box named by host:port that did not answer the first search is read where boxes of this
    // kind keep their description, as the window does.
    if (box.kind == TAVO_record_boxName::Kind::AddressAndPort && searchesSent++ > 0)
        fetchDescription(wellKnownDescription());
}

QUrl TAVO_record_boxSearch::wellKnownDescription() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(box.address.toString());
    url.setPort(box.port);
    url.setPath(QStringLiteral("/description.xml"));
    return url;
}

void TAVO_record_boxSearch::readAnswers()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram answer = socket.receiveDatagram();
        QUrl location = locationOf(answer.data());
        if (!location.isValid() || location.scheme() != QLatin1String("http"))
            continue;
        // A box asked at its own address is fetched from that address, whatever its answer names.
        if (!box.address.isNull() && answer.senderAddress().isEqual(box.address, QHostAddress::TolerantConversion))
            location.setHost(box.address.toString());
        fetchDescription(location);
    }
}

void TAVO_record_boxSearch::fetchDescription(const QUrl &location)
{
    if (done || fetched.contains(location))
        return;
    fetched.insert(location);
    qCDebug(lcBoxSearch) << "Reading the description at" << location;
    QNetworkReply *reply = network.get(QNetworkRequest(location));
    // A box that sends more than any description holds is not read to its end.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > descriptionLimitBytes)
            reply->abort();
    });
}

void TAVO_record_boxSearch::descriptionArrived(QNetworkReply *reply)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QDomDocument document;
    if (done)
        return;
    if (reply->error() != QNetworkReply::NoError || status != 200 || !document.setContent(reply->readAll())) {
        // A description named by its URL is read again at the next second.
        if (box.kind == TAVO_record_boxName::Kind::Description)
            fetched.remove(reply->request().url());
        return;
    }
    TAVO_SERVER server;
    TAVO_xml_deviceDescription::read(document.documentElement(), server);
    server.host = hostForUrls(reply->url());
    server.port = QString::number(reply->url().port(80));
    qCDebug(lcBoxSearch) << "Found" << server.device.friendlyName << server.device.UDN << "at" << server.host;
    if (server.device.deviceType != streamerDeviceType || !matches(server, reply->url(), box))
        return;
    done = true;
    repeat.stop();
    timeLimit.stop();
    Q_EMIT found(server);
}

void TAVO_record_boxSearch::giveUp()
{
    if (done)
        return;
    done = true;
    repeat.stop();
    Q_EMIT notFound();
}
