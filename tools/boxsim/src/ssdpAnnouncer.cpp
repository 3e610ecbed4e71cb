#include <libgssdp/gssdp.h>

#include "ssdpAnnouncer.h"

namespace {

// Announcements go out one after another with this pause; loopback needs no more.
constexpr guint messageDelayMs = 20;

const char serverId[] = "Linux/6 UPnP/1.0 TavoStreamer/1.0";

const char *interfaceFor(const QHostAddress &address)
{
    return address.isLoopback() ? "lo" : nullptr;
}

// Box addresses other than 127.0.0.1 are not listed on the interface (the whole loopback net
// answers on lo), so GSSDP cannot look their network up and is told it.
QString networkOf(const QHostAddress &address)
{
    return address.isLoopback() ? QStringLiteral("127.0.0.0/8") : address.toString() + QStringLiteral("/32");
}

GSSDPClient *newClient(const QHostAddress &boxAddress, GError **error)
{
    GInetAddress *address = g_inet_address_new_from_string(boxAddress.toString().toUtf8().constData());
    GInetAddressMask *mask = g_inet_address_mask_new_from_string(networkOf(boxAddress).toUtf8().constData(), nullptr);
    auto *client = static_cast<GSSDPClient *>(g_initable_new(GSSDP_TYPE_CLIENT, nullptr, error,
                                                             "interface", interfaceFor(boxAddress),
                                                             "address", address, "host-mask", mask,
                                                             "uda-version", GSSDP_UDA_VERSION_1_0, nullptr));
    g_object_unref(mask);
    g_object_unref(address);
    return client;
}

// The loopback boxes of one simulator speak SSDP through one socket. With a socket each, every
// box would read every other box's announcements as well: 500 boxes announcing at once made
// 500 sockets read thousands of datagrams each, and that flood drowned the searches the boxes
// must answer for half a minute. A real box reads the network with a processor of its own.
// Control points take a box's address from its LOCATION, never from the datagram's sender.
GSSDPClient *loopbackClient(GError **error)
{
    static GSSDPClient *shared = nullptr;
    if (shared)
        return static_cast<GSSDPClient *>(g_object_ref(shared));
    shared = newClient(QHostAddress(QHostAddress::LocalHost), error);
    if (shared) {
        gssdp_client_set_server_id(shared, serverId);
        g_object_add_weak_pointer(G_OBJECT(shared), reinterpret_cast<gpointer *>(&shared));
    }
    return shared;
}

GSSDPClient *clientFor(const QHostAddress &boxAddress, GError **error)
{
    if (boxAddress.isLoopback())
        return loopbackClient(error);
    GSSDPClient *client = newClient(boxAddress, error);
    if (client)
        gssdp_client_set_server_id(client, serverId);
    return client;
}

} // namespace

SsdpAnnouncer::SsdpAnnouncer(const QHostAddress &address, const QString &uuid,
                             const QString &deviceType, const QString &location, int maxAgeSeconds)
    : m_address(address), m_uuid(uuid), m_deviceType(deviceType), m_location(location), m_maxAgeSeconds(maxAgeSeconds)
{
}

SsdpAnnouncer::~SsdpAnnouncer()
{
    // Disposing a group that is still available sends the byebye of every resource at once.
    if (m_group)
        g_object_unref(m_group);
    if (m_client)
        g_object_unref(m_client);
}

bool SsdpAnnouncer::start(QString *error)
{
    GError *gError = nullptr;
    m_client = clientFor(m_address, &gError);
    if (!m_client) {
        *error = QStringLiteral("SSDP on %1: %2").arg(m_address.toString(), QString::fromUtf8(gError->message));
        g_error_free(gError);
        return false;
    }
    announce();
    return true;
}

void SsdpAnnouncer::announce()
{
    m_group = gssdp_resource_group_new(m_client);
    gssdp_resource_group_set_message_delay(m_group, messageDelayMs);
    gssdp_resource_group_set_max_age(m_group, guint(m_maxAgeSeconds));
    const QString udn = QStringLiteral("uuid:") + m_uuid;
    addResource(QStringLiteral("upnp:rootdevice"), udn + QStringLiteral("::upnp:rootdevice"));
    addResource(udn, udn);
    addResource(m_deviceType, udn + QStringLiteral("::") + m_deviceType);
    gssdp_resource_group_set_available(m_group, TRUE);
}

// Going away disposes the group rather than making it unavailable: an unavailable group would
// still send the search answers it had already scheduled, after its byebye.
void SsdpAnnouncer::setAvailable(bool available)
{
    if (!m_client || available == (m_group != nullptr))
        return;
    if (available) {
        announce();
    } else {
        g_object_unref(m_group);
        m_group = nullptr;
    }
}

void SsdpAnnouncer::addResource(const QString &target, const QString &usn)
{
    gssdp_resource_group_add_resource_simple(m_group, target.toUtf8().constData(), usn.toUtf8().constData(),
                                             m_location.toUtf8().constData());
}
