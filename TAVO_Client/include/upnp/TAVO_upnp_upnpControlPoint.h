#ifndef TAVO_UPNP_UPNPCONTROLPOINT_H
#define TAVO_UPNP_UPNPCONTROLPOINT_H

#include <QObject>
#include <QSet>
#include <QString>

#include <vector>

class QUrl;
class QWidget;
struct _GUPnPContext;
struct _GUPnPContextManager;
struct _GUPnPControlPoint;

// Finds the streamer boxes on the network by UPnP and starts the download of each new box's
// device description into the cache. Searching starts in the constructor, on every IPv4
// interface (loopback included), with one control point per interface.
class TAVO_upnp_upnpControlPoint : public QObject
{
    Q_OBJECT

public:
    static const QString streamerDeviceType;

    explicit TAVO_upnp_upnpControlPoint(QWidget *parent);
    ~TAVO_upnp_upnpControlPoint() override;

    // Sends one more search on every interface.
    void upnpReflash();

    // The control point of a network interface that came up, and the interface that went away.
    void addControlPoint(_GUPnPControlPoint *controlPoint);
    void removeControlPointOf(_GUPnPContext *context);

public Q_SLOTS:
    // A device reported by UPnP: its full type, its bare UUID and its first description URL.
    void rootDeviceOnline(const QString &deviceType, const QString &uuid, const QUrl &location);
    // The box said goodbye (or its announcement expired). It keeps its row; when it comes back
    // its description is fetched again.
    void rootDeviceOffline(const QString &uuid);
    // GUPnP reports an expired announcement and a goodbye alike as the device leaving, which
    // rootDeviceOffline handles; these two have nothing left to do and stay for the interface.
    void rootDeviceInvalidated(const QString &uuid);
    void rootDeviceRemoved(const QString &uuid);

private:
    void removeControlPoint(_GUPnPControlPoint *controlPoint);

    QWidget *parentWidget;
    _GUPnPContextManager *contextManager;
    std::vector<_GUPnPControlPoint *> controlPoints;
    // GUPnP reports a box once per interface it is seen on; its description is fetched once
    // while it stays online.
    QSet<QString> onlineDevices;
};

#endif
