#ifndef TAVO_MGR_STREAMREQUEST_H
#define TAVO_MGR_STREAMREQUEST_H

#include "TAVO_mgr_defaultStructure.h"

#include <QString>

class TAVO_mgr_streamSettings;

// The live stream request of a box: its URL, and the pinning of the box's public key in the
// GnuTLS known-hosts file that the TLS layer under the player reads.
class TAVO_mgr_streamRequest
{
public:
    // "src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd" with the defaults.
    static QString query(const TAVO_mgr_streamSettings &settings);
    // True when the box streams over HTTPS (encryption exactly "AES128").
    static bool isEncrypted(const TAVO_SERVER &server);
    // The plain or encrypted stream URL of the box, asking for the box's stream settings
    // (TAVO_mgr_streamSettings::forBox); empty when the box names no port number for its plain
    // stream.
    static QString streamUrl(const TAVO_SERVER &server);
    // The stream URL as the terminal shows it: the encrypted stream's password is "*****".
    static QString shownStreamUrl(const TAVO_SERVER &server);
    // "|g0|" + host + "|https|0|" + the box's public key.
    static QString knownHostsLine(const QString &host);
    // Appends the host's line to homePath + "/.gnutls/known_hosts" unless it is there already.
    static void pinBoxKey(const QString &host, const QString &homePath);
};

#endif
