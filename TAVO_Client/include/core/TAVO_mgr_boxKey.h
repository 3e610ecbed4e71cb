#ifndef TAVO_MGR_BOXKEY_H
#define TAVO_MGR_BOXKEY_H

#include <QByteArray>
#include <QString>

class QSslCertificate;

// What vouches for a box's encrypted stream: its certificate is its own, signed by nobody, so its
// key is pinned in the user's GnuTLS known-hosts file (where libVLC reads it too) the first time
// the box's stream is asked for, and every connection must present that key.
class TAVO_mgr_boxKey
{
public:
    // Pins the boxes' key for `host` unless a key is pinned for it already.
    static void pin(const QString &host);
    // Is `peer`'s key the one pinned for `host`?
    static bool isPinned(const QString &host, const QSslCertificate &peer);
    // Is a key other than the boxes' own pinned for `host`? Every connection to it is then
    // refused, whatever the box shows: known before the box is asked anything.
    static bool isOtherKeyPinned(const QString &host);
    // The pinned key of host in a GnuTLS known-hosts text, empty when none is pinned.
    static QByteArray pinnedKey(const QByteArray &knownHosts, const QString &host);
};

#endif
