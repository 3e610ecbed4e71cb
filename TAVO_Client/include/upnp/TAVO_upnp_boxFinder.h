#ifndef TAVO_UPNP_BOXFINDER_H
#define TAVO_UPNP_BOXFINDER_H

#include "TAVO_xml_xmlDownloader.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QHostInfo;
class QUdpSocket;
class TAVO_upnp_upnpControlPoint;

// Adds one box by the address a user gives, for a box that discovery cannot see (client
// isolation on Wi-Fi, a VPN, a router that drops multicast).
//
// An address is either the URL of the box's description, fetched as it stands, or a host with
// an optional port. A host is asked where its description is by an SSDP search sent to the host
// itself on UDP port 1900 (UPnP Device Architecture 1.1 allows this); the description is then
// fetched from the host as given, at the port and path of the answer's LOCATION (a port given
// with the host wins). The host is always the one given, never one an answer names, so an answer
// cannot send the client elsewhere. A host:port that does not answer the search is tried at
// "/description.xml", where boxes of this kind keep it.
//
// The description goes through discovery's own downloader, parser and registry rule.
class TAVO_upnp_boxFinder : public QObject
{
    Q_OBJECT

public:
    enum class Result { Added, AlreadyListed, NotAStreamerBox, NoAnswer, BadAddress, CannotStore };
    Q_ENUM(Result)

    static constexpr quint16 ssdpPort = 1900;
    // The search is sent again once, in case a datagram was lost, and then given up.
    static constexpr int searchRepeatMs = 1000;
    static constexpr int searchTimeLimitMs = 3000;

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
    void hostLookedUp(const QHostInfo &info);
    void sendSearch();
    void readSearchAnswers();
    void searchUnanswered();
    void fetch(const QUrl &location);
    void downloadEnded(TAVO_xml_xmlDownloader::Outcome outcome, const QString &udn);
    void finish(Result result, const QString &udn = QString());

    TAVO_upnp_upnpControlPoint *discovery;
    QString address;
    QString host;
    int port = -1;  // -1 when the address gave none
    QHostAddress hostAddress;
    QUdpSocket *searchSocket = nullptr;
    QTimer searchTimer;
    int searchesSent = 0;
    bool done = false;
};

#endif
