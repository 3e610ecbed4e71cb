#include <libgupnp/gupnp.h>

#include "TAVO_upnp_upnpControlPoint.h"

#include "TAVO_mgr_cache.h"
#include "TAVO_xml_xmlDownloader.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <algorithm>

const QString TAVO_upnp_upnpControlPoint::streamerDeviceType =
    QStringLiteral("urn:vornex-com:device:TavoStreamer:1");

namespace {

const char udnPrefix[] = "uuid:";
constexpr int firstSearchAgainMs = 2000;
// Boxes answer a search within a few seconds (its MX); then the searching browser goes.
constexpr int searchAnswersMs = 6000;
constexpr int longestSearchIntervalMs = 5 * 60 * 1000;

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
    GSSDPResourceBrowser *browser = gssdp_resource_browser_new(
        GSSDP_CLIENT(context), TAVO_upnp_upnpControlPoint::streamerDeviceType.toUtf8().constData());
    g_signal_connect(browser, "resource-available", G_CALLBACK(onResourceAvailable), self);
    g_signal_connect(browser, "resource-unavailable", G_CALLBACK(onResourceUnavailable), self);
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->addBrowser(browser);
    gssdp_resource_browser_set_active(browser, TRUE);
    g_object_unref(browser);
}

// A browser of its own sends the search; the answers reach every browser of the interface, so
// the lasting one learns of the boxes it missed. Rescanning the lasting browser instead would
// take every box whose answer got lost this time for gone, and fetch it again later.
void sendSearch(GSSDPClient *client)
{
    GSSDPResourceBrowser *searcher =
        gssdp_resource_browser_new(client, TAVO_upnp_upnpControlPoint::streamerDeviceType.toUtf8().constData());
    gssdp_resource_browser_set_active(searcher, TRUE);
    QTimer::singleShot(searchAnswersMs, [searcher] { g_object_unref(searcher); });
}

void onContextUnavailable(GUPnPContextManager *, GUPnPContext *context, gpointer self)
{
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->removeBrowserOf(context);
}

} // namespace

TAVO_upnp_upnpControlPoint::TAVO_upnp_upnpControlPoint(QWidget *parent)
    : QObject(nullptr)
    , parentWidget(parent)
    , contextManager(gupnp_context_manager_create_full(GSSDP_UDA_VERSION_1_0, G_SOCKET_FAMILY_IPV4, 0))
{
    g_signal_connect(contextManager, "context-available", G_CALLBACK(onContextAvailable), this);
    g_signal_connect(contextManager, "context-unavailable", G_CALLBACK(onContextUnavailable), this);
    searchTimer.setSingleShot(true);
    connect(&searchTimer, &QTimer::timeout, this, &TAVO_upnp_upnpControlPoint::searchAgain);
    searchTimer.start(firstSearchAgainMs);
}

// Disposing the manager reports every interface as gone; nobody is left to hear it.
TAVO_upnp_upnpControlPoint::~TAVO_upnp_upnpControlPoint()
{
    g_signal_handlers_disconnect_by_data(contextManager, this);
    while (!browsers.empty())
        removeBrowser(browsers.back());
    g_object_unref(contextManager);
}

void TAVO_upnp_upnpControlPoint::addBrowser(GSSDPResourceBrowser *browser)
{
    browsers.push_back(GSSDP_RESOURCE_BROWSER(g_object_ref(browser)));
}

void TAVO_upnp_upnpControlPoint::removeBrowserOf(GUPnPContext *context)
{
    const auto found = std::find_if(browsers.begin(), browsers.end(), [context](GSSDPResourceBrowser *browser) {
        return gssdp_resource_browser_get_client(browser) == GSSDP_CLIENT(context);
    });
    if (found != browsers.end())
        removeBrowser(*found);
}

void TAVO_upnp_upnpControlPoint::removeBrowser(GSSDPResourceBrowser *browser)
{
    g_signal_handlers_disconnect_by_data(browser, this);
    browsers.erase(std::remove(browsers.begin(), browsers.end(), browser), browsers.end());
    g_object_unref(browser);
}

void TAVO_upnp_upnpControlPoint::upnpReflash()
{
    for (GSSDPResourceBrowser *browser : browsers)
        sendSearch(gssdp_resource_browser_get_client(browser));
}

void TAVO_upnp_upnpControlPoint::searchAgain()
{
    upnpReflash();
    searchTimer.start(std::min(searchTimer.interval() * 2, longestSearchIntervalMs));
}

void TAVO_upnp_upnpControlPoint::rootDeviceOnline(const QString &deviceType, const QString &uuid, const QUrl &location)
{
    // A search for version 1 is also answered by version 2 devices, which speak another protocol.
    if (deviceType != streamerDeviceType || onlineDevices.contains(uuid))
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
    downloader->downloadFile(new QUrl(location), savePath, QString(), QString(), QString());
    Q_EMIT boxSeen(uuid);
}

void TAVO_upnp_upnpControlPoint::rootDeviceOffline(const QString &uuid)
{
    if (onlineDevices.remove(uuid))
        Q_EMIT boxLeft(uuid);
}

void TAVO_upnp_upnpControlPoint::rootDeviceInvalidated(const QString &) {}

void TAVO_upnp_upnpControlPoint::rootDeviceRemoved(const QString &) {}
