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

SsdpClientRef newClient(const QHostAddress &boxAddress, GError **error)
{
    g_autoptr(GInetAddress) address = g_inet_address_new_from_string(boxAddress.toString().toUtf8().constData());
    g_autoptr(GInetAddressMask) mask =
        g_inet_address_mask_new_from_string(networkOf(boxAddress).toUtf8().constData(), nullptr);
    return SsdpClientRef(static_cast<GSSDPClient *>(g_initable_new(GSSDP_TYPE_CLIENT, nullptr, error,
                                                                   "interface", interfaceFor(boxAddress),
                                                                   "address", address, "host-mask", mask,
                                                                   "uda-version", GSSDP_UDA_VERSION_1_0, nullptr)));
}

// The loopback boxes of one simulator speak SSDP through one socket. With a socket each, every
// box would read every other box's announcements as well: 500 boxes announcing at once made
// 500 sockets read thousands of datagrams each, and that flood drowned the searches the boxes
// must answer for half a minute. A real box reads the network with a processor of its own.
// Control points take a box's address from its LOCATION, never from the datagram's sender.
// The shared client lives as long as a box holds it: the simulator keeps only a weak pointer.
SsdpClientRef loopbackClient(GError **error)
{
    static GSSDPClient *shared = nullptr;
    if (shared)
        return SsdpClientRef(static_cast<GSSDPClient *>(g_object_ref(shared)));
    SsdpClientRef client = newClient(QHostAddress(QHostAddress::LocalHost), error);
    if (client) {
        gssdp_client_set_server_id(client.get(), serverId);
        shared = client.get();
        g_object_add_weak_pointer(G_OBJECT(shared), reinterpret_cast<gpointer *>(&shared));
    }
    return client;
}

SsdpClientRef clientFor(const QHostAddress &boxAddress, GError **error)
{
    if (boxAddress.isLoopback())
        return loopbackClient(error);
    SsdpClientRef client = newClient(boxAddress, error);
    if (client)
        gssdp_client_set_server_id(client.get(), serverId);
    return client;
}

} // namespace

void GObjectUnref::operator()(void *object) const
{
    g_object_unref(object);
}

SsdpAnnouncer::SsdpAnnouncer(const QHostAddress &address, const QString &uuid,
                             const QString &deviceType, const QString &location, int maxAgeSeconds)
    : m_address(address), m_uuid(uuid), m_deviceType(deviceType), m_location(location), m_maxAgeSeconds(maxAgeSeconds)
{
}

bool SsdpAnnouncer::start(QString *error)
{
    g_autoptr(GError) gError = nullptr;
    m_client = clientFor(m_address, &gError);
    if (!m_client) {
        *error = QStringLiteral("SSDP on %1: %2").arg(m_address.toString(), QString::fromUtf8(gError->message));
        return false;
    }
    announce();
    return true;
}

void SsdpAnnouncer::announce()
{
    m_group.reset(gssdp_resource_group_new(m_client.get()));
    gssdp_resource_group_set_message_delay(m_group.get(), messageDelayMs);
    gssdp_resource_group_set_max_age(m_group.get(), guint(m_maxAgeSeconds));
    const QString udn = QStringLiteral("uuid:") + m_uuid;
    addResource(QStringLiteral("upnp:rootdevice"), udn + QStringLiteral("::upnp:rootdevice"));
    addResource(udn, udn);
    addResource(m_deviceType, udn + QStringLiteral("::") + m_deviceType);
    gssdp_resource_group_set_available(m_group.get(), TRUE);
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
        m_group.reset();
    }
}

void SsdpAnnouncer::addResource(const QString &target, const QString &usn)
{
    gssdp_resource_group_add_resource_simple(m_group.get(), target.toUtf8().constData(), usn.toUtf8().constData(),
                                             m_location.toUtf8().constData());
}
