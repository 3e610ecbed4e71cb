#ifndef TAVO_RECORD_BOXNAME_H
#define TAVO_RECORD_BOXNAME_H

#include <QHostAddress>
#include <QString>
#include <QUrl>

// The box as --box names it. The URL of its description (http://host:port/path) is read as it
// stands, with no search, so a box that multicast does not reach (another subnet, a VPN) can
// still be recorded. An IP address, with or without a port (an IPv6 address in brackets), is
// searched for at that address too; with a port, only the box whose description is at that
// host and port is taken. Anything else is a friendly name or a UDN.
struct TAVO_record_boxName
{
    enum class Kind { NameOrUdn, Address, AddressAndPort, Description };

    Kind kind = Kind::NameOrUdn;
    QString text;          // as given, without surrounding blanks
    QHostAddress address;  // Address and AddressAndPort
    int port = -1;         // AddressAndPort
    QUrl description;      // Description

    // False with `problem` set, in one line, when the text is an address or a URL that cannot be used.
    static bool read(const QString &text, TAVO_record_boxName *name, QString *problem);
};

#endif
