#ifndef TAVO_MGR_BOXNAME_H
#define TAVO_MGR_BOXNAME_H

#include "TAVO_mgr_boxAddress.h"

#include <QString>

// The box as --box names it: a friendly name, a UDN or an address, told apart by this rule.
// - A text with "://" is the URL of the box's description (or its web page), and an address.
// - A text starting with "uuid:" is a UDN.
// - A text with a blank ("Living Room", "News 24: Berlin") is a friendly name.
// - A text starting with "[", an IP address, a text ending in ":" and a port number
//   ("box.local:49152") or holding a dot ("box.local") is an address.
// - Anything else ("Bedroom", "42", a UDN without "uuid:") is a friendly name or a UDN.
// An address is read as the window reads one (TAVO_mgr_boxAddress) and found as it finds one.
struct TAVO_mgr_boxName
{
    enum class Kind { NameOrUdn, Address, AddressAndPort, Description };

    Kind kind = Kind::NameOrUdn;
    QString text;                  // as given, without surrounding blanks
    TAVO_mgr_boxAddress address;   // all but NameOrUdn

    // False with `problem` set, in one line, when the text is an address or a URL that cannot be used.
    static bool read(const QString &text, TAVO_mgr_boxName *name, QString *problem);
};

#endif
