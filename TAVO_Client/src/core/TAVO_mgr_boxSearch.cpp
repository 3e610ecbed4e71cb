#include "TAVO_mgr_boxSearch.h"

#include "TAVO_mgr_boxLookup.h"
#include "TAVO_xml_deviceDescription.h"

#include <QDomDocument>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <algorithm>

Q_LOGGING_CATEGORY(lcBoxSearch, "tavo.mgr.search", QtInfoMsg)

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));

QByteArray searchMessage()
{
    return QByteArray("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: ")
           + TAVO_mgr_boxLookup::streamerDeviceType + "\r\n\r\n";
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

} // namespace

TAVO_mgr_boxSearch::TAVO_mgr_boxSearch(const TAVO_mgr_boxName &box, int timeLimitMs, QObject *parent)
    : QObject(parent)
    , box(box)
    , timeLimitMs(timeLimitMs)
{
    connectParts();
}

TAVO_mgr_boxSearch::TAVO_mgr_boxSearch(QObject *parent)
    : QObject(parent)
    , everyBox(true)
{
    connectParts();
}

void TAVO_mgr_boxSearch::connectParts()
{
    network.setProxy(QNetworkProxy::NoProxy);
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    connect(&socket, &QUdpSocket::readyRead, this, &TAVO_mgr_boxSearch::readAnswers);
    connect(&repeat, &QTimer::timeout, this, &TAVO_mgr_boxSearch::sendSearch);
    connect(&network, &QNetworkAccessManager::finished, this, &TAVO_mgr_boxSearch::descriptionArrived);
    timeLimit.setSingleShot(true);
    connect(&timeLimit, &QTimer::timeout, this, &TAVO_mgr_boxSearch::giveUp);
}

void TAVO_mgr_boxSearch::start()
{
    if (timeLimitMs > 0)
        timeLimit.start(timeLimitMs);
    repeat.start(everyBox ? everyBoxRepeatMs : searchRepeatMs);
    if (searchesBySsdp())
        socket.bind(QHostAddress::AnyIPv4, 0);
    sendSearch();
}

bool TAVO_mgr_boxSearch::searchesBySsdp() const
{
    return everyBox || box.kind == TAVO_mgr_boxName::Kind::NameOrUdn;
}

bool TAVO_mgr_boxSearch::matches(const TAVO_SERVER &server, const TAVO_mgr_boxName &box)
{
    if (box.kind != TAVO_mgr_boxName::Kind::NameOrUdn)
        return true;
    return server.device.friendlyName.compare(box.text, Qt::CaseInsensitive) == 0
           || server.device.UDN.compare(bareUdn(box.text), Qt::CaseInsensitive) == 0;
}

// A host that does not answer within the lookup's time is looked up again at the next second.
void TAVO_mgr_boxSearch::lookUp()
{
    lookingUp = true;
    auto *lookup = new TAVO_mgr_boxLookup(box.address, this);
    connect(lookup, &TAVO_mgr_boxLookup::located, this, [this, lookup](const QUrl &location) {
        lookup->deleteLater();
        lookingUp = false;
        description = location;
        fetchDescription(description);
    });
    connect(lookup, &TAVO_mgr_boxLookup::unanswered, this, [this, lookup] {
        lookup->deleteLater();
        lookingUp = false;
    });
    lookup->start();
}

// A datagram can be lost; the search goes out again every second until the time is up, and a
// description that did not answer is asked for again.
void TAVO_mgr_boxSearch::sendSearch()
{
    ++round;
    forgetPlacesNoLongerNamed();
    if (!searchesBySsdp() && !description.isValid() && !lookingUp)
        lookUp();
    if (description.isValid()) {
        Q_EMIT progress(QStringLiteral("Reading %1…").arg(description.toString()));
        fetchDescription(description);
        return;
    }
    Q_EMIT progress(everyBox ? QStringLiteral("Searching for boxes…") : QStringLiteral("Searching for %1…").arg(box.text));
    if (searchesBySsdp())
        socket.writeDatagram(searchMessage(), ssdpGroup, TAVO_mgr_boxLookup::ssdpPort);
}

void TAVO_mgr_boxSearch::readAnswers()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram answer = socket.receiveDatagram(TAVO_mgr_boxLookup::datagramLimitBytes);
        const QUrl location = TAVO_mgr_boxLookup::answerLocation(answer.data());
        if (location.isValid() && location.scheme() == QLatin1String("http"))
            fetchDescription(location);
    }
}

// A place that has not been named for the longest pause since it was due is gone: a search
// that runs for months keeps only the places that still answer.
void TAVO_mgr_boxSearch::forgetPlacesNoLongerNamed()
{
    visits.removeIf([this](const QHash<QUrl, Visit>::iterator visit) {
        return visit.value().dueRound + longestPauseRounds < round;
    });
}

void TAVO_mgr_boxSearch::fetchDescription(const QUrl &location)
{
    const auto visit = visits.constFind(location);
    if (done || (visit != visits.cend() ? round < visit->dueRound : visits.size() >= descriptionsLimit))
        return;
    // Not due while it is read: the time limit ends the reading before that round comes.
    Visit &next = visits[location];
    next.dueRound = round + longestPauseRounds;
    qCDebug(lcBoxSearch) << "Reading the description at" << location;
    QNetworkReply *reply = network.get(QNetworkRequest(location));
    // A box that sends more than any description holds, or takes longer than any box, is not read
    // to its end.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > descriptionLimitBytes)
            reply->abort();
    });
    QTimer::singleShot(descriptionTimeLimitMs, reply, &QNetworkReply::abort);
}

// A place read is read again after the longest pause; one that failed from the next round on,
// and each time it fails again after twice the pause before.
void TAVO_mgr_boxSearch::setNextVisit(const QUrl &location, bool read)
{
    Visit &visit = visits[location];
    visit.failurePause = read ? 0 : std::clamp(visit.failurePause * 2, 1, longestPauseRounds);
    visit.dueRound = round + (read ? longestPauseRounds : visit.failurePause);
}

void TAVO_mgr_boxSearch::descriptionArrived(QNetworkReply *reply)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QDomDocument document;
    if (done)
        return;
    const bool read = reply->error() == QNetworkReply::NoError && status == 200 && document.setContent(reply->readAll());
    setNextVisit(reply->request().url(), read);
    if (!read)
        return;
    TAVO_SERVER server;
    TAVO_xml_deviceDescription::read(document.documentElement(), server);
    server.host = hostForUrls(reply->url());
    server.port = QString::number(reply->url().port(80));
    qCDebug(lcBoxSearch) << "Found" << server.device.friendlyName << server.device.UDN << "at" << server.host;
    if (server.device.deviceType != QLatin1String(TAVO_mgr_boxLookup::streamerDeviceType))
        return;
    if (everyBox) {
        Q_EMIT seen(server);
        return;
    }
    if (!matches(server, box))
        return;
    done = true;
    repeat.stop();
    timeLimit.stop();
    Q_EMIT seen(server);
    Q_EMIT found(server);
}

void TAVO_mgr_boxSearch::giveUp()
{
    if (done)
        return;
    done = true;
    repeat.stop();
    Q_EMIT notFound();
}
