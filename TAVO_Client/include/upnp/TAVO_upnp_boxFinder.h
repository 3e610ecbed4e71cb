#ifndef TAVO_UPNP_BOXFINDER_H
#define TAVO_UPNP_BOXFINDER_H

#include "TAVO_xml_xmlDownloader.h"

#include <QObject>
#include <QString>
#include <QUrl>

class TAVO_upnp_upnpControlPoint;

// Adds one box by the address a user gives, for a box that discovery cannot see (client
// isolation on Wi-Fi, a VPN, a router that drops multicast).
//
// The address is read by TAVO_mgr_boxAddress and its description found by TAVO_mgr_boxLookup,
// as every program finds a box by its address; the description then goes through discovery's
// own downloader, parser and registry rule.
class TAVO_upnp_boxFinder : public QObject
{
    Q_OBJECT

public:
    enum class Result { Added, AlreadyListed, NotAStreamerBox, NoAnswer, BadAddress, CannotStore };
    Q_ENUM(Result)

    // Empty text when the address can be tried, otherwise what is wrong with it, for the user.
    static QString addressError(const QString &address);
    // A result in one sentence for the user, short enough for the status line.
    static QString summarize(Result result, const QString &address);
    // The same with what the user can do about it.
    static QString describe(Result result, const QString &address);
    // The host of an address given as a bare host (no port, no description path), else empty.
    static QString bareHost(const QString &address);
    // The host of any address that can be tried, else empty.
    static QString hostOf(const QString &address);

    TAVO_upnp_boxFinder(TAVO_upnp_upnpControlPoint *discovery, const QString &address, QObject *parent);

    // finished() follows exactly once, after which the finder deletes itself.
    void start();

Q_SIGNALS:
    // udn names the box that was found (Added, AlreadyListed).
    void finished(TAVO_upnp_boxFinder::Result result, const QString &udn);

private:
    void fetch(const QUrl &location);
    void downloadEnded(TAVO_xml_xmlDownloader::Outcome outcome, const QString &udn);
    void finish(Result result, const QString &udn = QString());

    TAVO_upnp_upnpControlPoint *discovery;
    QString address;
    bool done = false;
};

#endif
