#include "TAVO_upnp_boxFinder.h"

#include "TAVO_mgr_boxLookup.h"
#include "TAVO_upnp_upnpControlPoint.h"

QString TAVO_upnp_boxFinder::addressError(const QString &address)
{
    return TAVO_mgr_boxAddress::read(address).error;
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
    const TAVO_mgr_boxAddress box = TAVO_mgr_boxAddress::read(address);
    return box.port == -1 ? box.host : QString();
}

QString TAVO_upnp_boxFinder::hostOf(const QString &address)
{
    return TAVO_mgr_boxAddress::read(address).hostName();
}

TAVO_upnp_boxFinder::TAVO_upnp_boxFinder(TAVO_upnp_upnpControlPoint *discovery, const QString &address, QObject *parent)
    : QObject(parent)
    , discovery(discovery)
    , address(address.trimmed())
{
}

void TAVO_upnp_boxFinder::start()
{
    const TAVO_mgr_boxAddress box = TAVO_mgr_boxAddress::read(address);
    if (!box.isUsable()) {
        finish(Result::BadAddress);
        return;
    }
    auto *lookup = new TAVO_mgr_boxLookup(box, this);
    connect(lookup, &TAVO_mgr_boxLookup::located, this, &TAVO_upnp_boxFinder::fetch);
    connect(lookup, &TAVO_mgr_boxLookup::unanswered, this, [this] { finish(Result::NoAnswer); });
    lookup->start();
}

void TAVO_upnp_boxFinder::fetch(const QUrl &location)
{
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
