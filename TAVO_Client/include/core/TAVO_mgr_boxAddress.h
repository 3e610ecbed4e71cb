#ifndef TAVO_MGR_BOXADDRESS_H
#define TAVO_MGR_BOXADDRESS_H

#include <QString>
#include <QUrl>

// A box's address as a user types it, for every program that finds a box by its address (the
// window's "add by address" and its --box, the recording command's --box).
//
// An address is either the URL of the box's description (http://host[:port]/path), read as it
// stands, or a host with an optional port: "host", "host:port", "[IPv6]:port", a bare IPv6
// address, or the box's web page "http://host[:port]/", which names the box and not its
// description. A host is a host name or an IP literal; a host made only of digits and dots must
// be a whole IPv4 address, so that "300.1.1.1" or "1.2.3" are refused rather than guessed at.
// Boxes describe themselves over plain http://, so https:// and other schemes are refused, as
// are a user name, a fragment, port 0, a port beyond 65535 and a colon with no port after it.
struct TAVO_mgr_boxAddress
{
    QUrl description;  // set when the address is the URL of the description
    QString host;      // otherwise: the host (an IPv6 address without brackets)
    int port = -1;     // and its port, -1 when none was given
    QString error;     // empty when usable, otherwise what is wrong, in one line for the user

    static TAVO_mgr_boxAddress read(const QString &text);

    bool isUsable() const { return error.isEmpty(); }
    // The host the description is asked from, whichever form the address took.
    QString hostName() const { return description.isValid() ? description.host() : host; }
};

#endif
