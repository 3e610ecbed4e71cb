#pragma once

#include <QHostAddress>
#include <QString>

#include <memory>

typedef struct _GSSDPClient GSSDPClient;
typedef struct _GSSDPResourceGroup GSSDPResourceGroup;

// Gives a GObject reference back when its holder goes.
struct GObjectUnref
{
    void operator()(void *object) const;
};
using SsdpClientRef = std::unique_ptr<GSSDPClient, GObjectUnref>;

// The UPnP root device of a box on the SSDP side: announces "upnp:rootdevice", the UDN and
// the device type with the box's own description location, answers searches, and says
// byebye for all three when destroyed. The location is the box's own description server, so
// that the knobs on that server reach every control point.
class SsdpAnnouncer
{
public:
    SsdpAnnouncer(const QHostAddress &address, const QString &uuid, const QString &deviceType,
                  const QString &location, int maxAgeSeconds);
    SsdpAnnouncer(const SsdpAnnouncer &) = delete;
    SsdpAnnouncer &operator=(const SsdpAnnouncer &) = delete;

    bool start(QString *error);
    // Unavailable sends byebye and leaves searches unanswered; available announces again.
    void setAvailable(bool available);

private:
    void announce();
    void addResource(const QString &target, const QString &usn);

    QHostAddress m_address;
    QString m_uuid;
    QString m_deviceType;
    QString m_location;
    int m_maxAgeSeconds;
    SsdpClientRef m_client;
    // Released before the client (members go in reverse order). Disposing a group that is
    // still available sends the byebye of every resource at once.
    std::unique_ptr<GSSDPResourceGroup, GObjectUnref> m_group;
};
