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

QString bareUuid(const char *udn)
{
    QString uuid = QString::fromUtf8(udn);
    if (uuid.startsWith(QLatin1String(udnPrefix)))
        uuid.remove(0, int(sizeof udnPrefix) - 1);
    return uuid;
}

QString deviceUuid(GUPnPDeviceProxy *proxy)
{
    return bareUuid(gupnp_device_info_get_udn(GUPNP_DEVICE_INFO(proxy)));
}

void onDeviceAvailable(GUPnPControlPoint *, GUPnPDeviceProxy *proxy, gpointer self)
{
    auto *info = GUPNP_DEVICE_INFO(proxy);
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->rootDeviceOnline(
        QString::fromUtf8(gupnp_device_info_get_device_type(info)), deviceUuid(proxy),
        QUrl(QString::fromUtf8(gupnp_device_info_get_location(info))));
}

void onDeviceUnavailable(GUPnPControlPoint *, GUPnPDeviceProxy *proxy, gpointer self)
{
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->rootDeviceOffline(deviceUuid(proxy));
}

void onContextAvailable(GUPnPContextManager *manager, GUPnPContext *context, gpointer self)
{
    // The boxes are on the local network: a proxy from the environment (http_proxy) would
    // receive every description request and fail it.
    soup_session_set_proxy_resolver(gupnp_context_get_session(context), nullptr);
    GUPnPControlPoint *controlPoint =
        gupnp_control_point_new(context, TAVO_upnp_upnpControlPoint::streamerDeviceType.toUtf8().constData());
    g_signal_connect(controlPoint, "device-proxy-available", G_CALLBACK(onDeviceAvailable), self);
    g_signal_connect(controlPoint, "device-proxy-unavailable", G_CALLBACK(onDeviceUnavailable), self);
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->addControlPoint(controlPoint);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(controlPoint), TRUE);
    gupnp_context_manager_manage_control_point(manager, controlPoint);
    g_object_unref(controlPoint);
}

void onContextUnavailable(GUPnPContextManager *, GUPnPContext *context, gpointer self)
{
    static_cast<TAVO_upnp_upnpControlPoint *>(self)->removeControlPointOf(context);
}

} // namespace

TAVO_upnp_upnpControlPoint::TAVO_upnp_upnpControlPoint(QWidget *parent)
    : QObject(nullptr)
    , parentWidget(parent)
    , contextManager(gupnp_context_manager_create_full(GSSDP_UDA_VERSION_1_0, G_SOCKET_FAMILY_IPV4, 0))
{
    g_signal_connect(contextManager, "context-available", G_CALLBACK(onContextAvailable), this);
    g_signal_connect(contextManager, "context-unavailable", G_CALLBACK(onContextUnavailable), this);
}

// Disposing the manager reports every device as gone; nobody is left to hear it.
TAVO_upnp_upnpControlPoint::~TAVO_upnp_upnpControlPoint()
{
    g_signal_handlers_disconnect_by_data(contextManager, this);
    while (!controlPoints.empty())
        removeControlPoint(controlPoints.back());
    g_object_unref(contextManager);
}

void TAVO_upnp_upnpControlPoint::addControlPoint(GUPnPControlPoint *controlPoint)
{
    controlPoints.push_back(GUPNP_CONTROL_POINT(g_object_ref(controlPoint)));
}

void TAVO_upnp_upnpControlPoint::removeControlPointOf(GUPnPContext *context)
{
    const auto found = std::find_if(controlPoints.begin(), controlPoints.end(), [context](GUPnPControlPoint *controlPoint) {
        return gssdp_resource_browser_get_client(GSSDP_RESOURCE_BROWSER(controlPoint)) == GSSDP_CLIENT(context);
    });
    if (found != controlPoints.end())
        removeControlPoint(*found);
}

void TAVO_upnp_upnpControlPoint::removeControlPoint(GUPnPControlPoint *controlPoint)
{
    g_signal_handlers_disconnect_by_data(controlPoint, this);
    controlPoints.erase(std::remove(controlPoints.begin(), controlPoints.end(), controlPoint), controlPoints.end());
    g_object_unref(controlPoint);
}

void TAVO_upnp_upnpControlPoint::upnpReflash()
{
    gupnp_context_manager_rescan_control_points(contextManager);
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
    QDir().mkpath(folder);
    const QString savePath = folder + QLatin1String("DeviceDescription.xml");
    QFile::remove(savePath);
    auto *downloader = new TAVO_xml_xmlDownloader(parentWidget);
    downloader->downloadFile(new QUrl(location), savePath, QString(), QString(), QString());
}

void TAVO_upnp_upnpControlPoint::rootDeviceOffline(const QString &uuid)
{
    onlineDevices.remove(uuid);
}

void TAVO_upnp_upnpControlPoint::rootDeviceInvalidated(const QString &) {}

void TAVO_upnp_upnpControlPoint::rootDeviceRemoved(const QString &) {}
