#include <libgupnp/gupnp.h>

#include "TAVO_upnp_upnpControlPoint.h"

#include "TAVO_mgr_boxLookup.h"
#include "TAVO_mgr_cache.h"
#include "TAVO_xml_xmlDownloader.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>

const QString TAVO_upnp_upnpControlPoint::streamerDeviceType = QLatin1String(TAVO_mgr_boxLookup::streamerDeviceType);

namespace {

using BrowserRef = TAVO_upnp_gobjectRef<GSSDPResourceBrowser>;

// The list's reference goes with its entry.
void dropFrom(std::vector<BrowserRef> &list, GSSDPResourceBrowser *browser)
{
    list.erase(std::remove_if(list.begin(), list.end(), [browser](const BrowserRef &held) { return held.get() == browser; }),
               list.end());
}

const char udnPrefix[] = "uuid:";
constexpr int firstSearchAgainMs = 2000;
// Boxes answer a search within a few seconds (its MX); then the searching browser goes.
constexpr int searchAnswersMs = 6000;
constexpr int longestSearchIntervalMs = 5 * 60 * 1000;
constexpr int firstRestartDelayMs = 1000;
constexpr int longestRestartDelayMs = 60 * 1000;

// A device's USN is "uuid:" + its UUID + "::" + the type it announces, version included.
QString usnUuid(const char *usn)
{
    QString uuid = QString::fromUtf8(usn).section(QLatin1String("::"), 0, 0);
    if (uuid.startsWith(QLatin1String(udnPrefix)))
        uuid.remove(0, int(sizeof udnPrefix) - 1);
    return uuid;
}

QString usnType(const char *usn)
{
    return QString::fromUtf8(usn).section(QLatin1String("::"), 1);
}

void onResourceAvailable(GSSDPResourceBrowser *, const char *usn, GList *locations, gpointer self)
{
    if (!locations)
        return;
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->rootDeviceOnline(
        usnType(usn), usnUuid(usn), QUrl(QString::fromUtf8(static_cast<const char *>(locations->data))));
}

void onResourceUnavailable(GSSDPResourceBrowser *, const char *usn, gpointer self)
{
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->rootDeviceOffline(usnUuid(usn));
}

void onContextAvailable(GUPnPContextManager *, GUPnPContext *context, gpointer self)
{
    const BrowserRef browser(gssdp_resource_browser_new(
        GSSDP_CLIENT(context), TAVO_upnp_upnpControlPoint::streamerDeviceType.toUtf8().constData()));
    g_signal_connect(browser.get(), "resource-available", G_CALLBACK(onResourceAvailable), self);
    g_signal_connect(browser.get(), "resource-unavailable", G_CALLBACK(onResourceUnavailable), self);
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->addBrowser(browser.get());
    gssdp_resource_browser_set_active(browser.get(), TRUE);
}

void onContextUnavailable(GUPnPContextManager *, GUPnPContext *context, gpointer self)
{
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->removeBrowserOf(context);
}

std::vector<TAVO_upnp_upnpControlPoint *> &liveControlPoints()
{
    static std::vector<TAVO_upnp_upnpControlPoint *> controlPoints;
    return controlPoints;
}

// The manager's warnings are the only word that a network was left without a context. The
// line is still printed; the control points hear of it once GUPnP has returned.
void onContextManagerWarning(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer)
{
    g_log_default_handler(domain, level, message, nullptr);
    for (TAVO_upnp_upnpControlPoint *controlPoint : liveControlPoints())
        QMetaObject::invokeMethod(controlPoint, [controlPoint] { controlPoint->networkRefusedSearch(); },
                                  Qt::QueuedConnection);
}

void listenToContextManagerWarnings()
{
    static const guint handler =
        g_log_set_handler("gupnp-context-manager", G_LOG_LEVEL_WARNING, onContextManagerWarning, nullptr);
    Q_UNUSED(handler)
}

} // namespace

TAVO_upnp_upnpControlPoint::TAVO_upnp_upnpControlPoint(QWidget *parent)
    : QObject(nullptr)
    , parentWidget(parent)
{
    listenToContextManagerWarnings();
    liveControlPoints().push_back(this);
    startContextManager();
    searchTimer.setSingleShot(true);
    connect(&searchTimer, &QTimer::timeout, this, &TAVO_upnp_upnpControlPoint::searchAgain);
    searchTimer.start(firstSearchAgainMs);
    restartTimer.setSingleShot(true);
    restartTimer.setInterval(firstRestartDelayMs);
    connect(&restartTimer, &QTimer::timeout, this, &TAVO_upnp_upnpControlPoint::restartContextManager);
}

TAVO_upnp_upnpControlPoint::~TAVO_upnp_upnpControlPoint()
{
    std::vector<TAVO_upnp_upnpControlPoint *> &controlPoints = liveControlPoints();
    controlPoints.erase(std::remove(controlPoints.begin(), controlPoints.end(), this), controlPoints.end());
    stopContextManager();
    while (!searchers.empty())
        removeSearcher(searchers.back().get());
}

void TAVO_upnp_upnpControlPoint::startContextManager()
{
    contextManager.reset(gupnp_context_manager_create_full(GSSDP_UDA_VERSION_1_0, G_SOCKET_FAMILY_IPV4, 0));
    g_signal_connect(contextManager.get(), "context-available", G_CALLBACK(onContextAvailable), this);
    g_signal_connect(contextManager.get(), "context-unavailable", G_CALLBACK(onContextUnavailable), this);
}

// Disposing the manager (when its holder goes) reports every interface as gone; nobody is left
// to hear it.
void TAVO_upnp_upnpControlPoint::stopContextManager()
{
    g_signal_handlers_disconnect_by_data(contextManager.get(), this);
    while (!browsers.empty())
        removeBrowser(browsers.back().get());
    contextManager.reset();
}

// GUPnP gives each network's context an HTTP server on the port its search socket happened to
// get; when another program holds that port, the network gets no context and the manager never
// tries it again. A new manager tries every network anew, each with another port.
void TAVO_upnp_upnpControlPoint::networkRefusedSearch()
{
    if (restartTimer.isActive())
        return;
    Q_EMIT searchTrouble(tr("Searching for boxes could not start on a network; trying again in %1 s")
                             .arg(restartTimer.interval() / 1000));
    restartTimer.start();
}

void TAVO_upnp_upnpControlPoint::restartContextManager()
{
    stopContextManager();
    startContextManager();
    searchRestarted = true;
    restartTimer.setInterval(std::min(restartTimer.interval() * 2, longestRestartDelayMs));
}

void TAVO_upnp_upnpControlPoint::addBrowser(GSSDPResourceBrowser *browser)
{
    browsers.emplace_back(GSSDP_RESOURCE_BROWSER(g_object_ref(browser)));
    if (searchRestarted && !restartTimer.isActive())
        Q_EMIT searchTrouble(tr("Searching for boxes"));
    searchRestarted = false;
}

void TAVO_upnp_upnpControlPoint::removeBrowserOf(GUPnPContext *context)
{
    const auto found = std::find_if(browsers.begin(), browsers.end(), [context](const BrowserRef &browser) {
        return gssdp_resource_browser_get_client(browser.get()) == GSSDP_CLIENT(context);
    });
    if (found != browsers.end())
        removeBrowser(found->get());
}

void TAVO_upnp_upnpControlPoint::removeBrowser(GSSDPResourceBrowser *browser)
{
    g_signal_handlers_disconnect_by_data(browser, this);
    dropFrom(browsers, browser);
}

void TAVO_upnp_upnpControlPoint::upnpReflash()
{
    for (const BrowserRef &browser : browsers)
        sendSearch(gssdp_resource_browser_get_client(browser.get()));
}

// A browser of its own sends the search; the answers reach every browser of the interface, so
// the lasting one learns of the boxes it missed. Rescanning the lasting browser instead would
// take every box whose answer got lost this time for gone, and fetch it again later. The
// searcher is new, so it reports every box that answers or announces while it lives: that is
// how a box whose description could not be fetched, and which the lasting browser knows
// already, is fetched again.
void TAVO_upnp_upnpControlPoint::sendSearch(GSSDPClient *client)
{
    GSSDPResourceBrowser *searcher =
        searchers.emplace_back(gssdp_resource_browser_new(client, streamerDeviceType.toUtf8().constData())).get();
    g_signal_connect(searcher, "resource-available", G_CALLBACK(onResourceAvailable), this);
    gssdp_resource_browser_set_active(searcher, TRUE);
    QTimer::singleShot(searchAnswersMs, this, [this, searcher] { removeSearcher(searcher); });
}

void TAVO_upnp_upnpControlPoint::removeSearcher(GSSDPResourceBrowser *searcher)
{
    g_signal_handlers_disconnect_by_data(searcher, this);
    dropFrom(searchers, searcher);
}

// The box's UUID is known only once its description is read, so the folder is named after the
// location; the parser registers the box under its UDN as for any other.
TAVO_xml_xmlDownloader *TAVO_upnp_upnpControlPoint::addBoxAt(const QUrl &location)
{
    const QByteArray locationHash = QCryptographicHash::hash(location.toEncoded(), QCryptographicHash::Sha1).toHex();
    const QString folder = TAVO_mgr_cache::boxFolder(QLatin1String("address-") + QLatin1String(locationHash.left(16)));
    if (folder.isEmpty())
        return nullptr;
    QDir().mkpath(folder);
    const QString savePath = folder + QLatin1String("DeviceDescription.xml");
    QFile::remove(savePath);
    auto *downloader = new TAVO_xml_xmlDownloader(parentWidget);
    // Started once the caller has connected to downloadFinished(), which may come at once.
    QMetaObject::invokeMethod(downloader, [downloader, location, savePath] {
        downloader->downloadFile(new QUrl(location), savePath, QString(), QString(), QString());
    }, Qt::QueuedConnection);
    return downloader;
}

void TAVO_upnp_upnpControlPoint::searchAgain()
{
    upnpReflash();
    searchTimer.start(std::min(searchTimer.interval() * 2, longestSearchIntervalMs));
}

void TAVO_upnp_upnpControlPoint::rootDeviceOnline(const QString &deviceType, const QString &uuid, const QUrl &location)
{
    // Version 2 devices announce their own type; the description tells them apart when they
    // answer a search for version 1 as if they were one.
    if (deviceType != streamerDeviceType || onlineDevices.contains(uuid) || isHeldOff(uuid))
        return;
    const QString folder = TAVO_mgr_cache::boxFolder(uuid);
    if (folder.isEmpty())
        return;
    onlineDevices.insert(uuid);
    searchTimer.start(firstSearchAgainMs);
    QDir().mkpath(folder);
    const QString savePath = folder + QLatin1String("DeviceDescription.xml");
    QFile::remove(savePath);
    auto *downloader = new TAVO_xml_xmlDownloader(parentWidget);
    connect(downloader, &TAVO_xml_xmlDownloader::downloadFinished, this,
            [this, uuid](TAVO_xml_xmlDownloader::Outcome outcome) {
        descriptionFetched(uuid, outcome == TAVO_xml_xmlDownloader::Outcome::Registered
                                     || outcome == TAVO_xml_xmlDownloader::Outcome::AlreadyListed);
    });
    downloader->downloadFile(new QUrl(location), savePath, QString(), QString(), QString());
    Q_EMIT boxSeen(uuid);
}

// A box whose description could not be fetched or read is forgotten, so that it is fetched
// again when it next answers or announces: boxes often announce before their web server is
// up. A box that keeps failing waits ever longer before its next fetch.
void TAVO_upnp_upnpControlPoint::descriptionFetched(const QString &uuid, bool succeeded)
{
    if (succeeded) {
        failedFetches.remove(uuid);
        return;
    }
    onlineDevices.remove(uuid);
    FailedFetch &failed = failedFetches[uuid];
    failed.holdOffMs = failed.holdOffMs == 0 ? firstSearchAgainMs : std::min(failed.holdOffMs * 2, longestSearchIntervalMs);
    failed.nextFetch.setRemainingTime(failed.holdOffMs);
    QTimer::singleShot(failed.holdOffMs, this, &TAVO_upnp_upnpControlPoint::upnpReflash);
}

bool TAVO_upnp_upnpControlPoint::isHeldOff(const QString &uuid) const
{
    const auto failed = failedFetches.constFind(uuid);
    return failed != failedFetches.cend() && !failed->nextFetch.hasExpired();
}

void TAVO_upnp_upnpControlPoint::rootDeviceOffline(const QString &uuid)
{
    failedFetches.remove(uuid);
    if (onlineDevices.remove(uuid))
        Q_EMIT boxLeft(uuid);
}

void TAVO_upnp_upnpControlPoint::rootDeviceInvalidated(const QString &) {}

void TAVO_upnp_upnpControlPoint::rootDeviceRemoved(const QString &) {}
