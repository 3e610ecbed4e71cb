#ifndef TAVO_MGR_BOXLOOKUP_H
#define TAVO_MGR_BOXLOOKUP_H

#include "TAVO_mgr_boxAddress.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>
#include <QUrl>

Q_DECLARE_LOGGING_CATEGORY(lcBoxAddress)

class QHostInfo;
class QUdpSocket;

// Where the description of the box at an address is, for a box that multicast discovery cannot
// see (client isolation on Wi-Fi, a VPN, a router that drops multicast).
//
// A description URL is the answer as it stands. A host is asked by an SSDP search sent to the
// host itself on UDP port 1900 (UPnP Device Architecture 1.1 allows this), sent again once after
// a second in case a datagram was lost; the answer's LOCATION gives the port and path, but the
// host stays the one given, never one an answer names, so an answer cannot send the client
// elsewhere, and a port given with the host wins. A host:port that does not answer the search is
// tried at "/description.xml", where boxes of this kind keep it; a bare host that does not
// answer is not found.
class TAVO_mgr_boxLookup : public QObject
{
    Q_OBJECT

public:
    // The device type every program searches for and takes as a streamer box.
    static constexpr char streamerDeviceType[] = "urn:vornex-com:device:TavoStreamer:1";
    static constexpr quint16 ssdpPort = 1900;
    static constexpr int searchRepeatMs = 1000;
    static constexpr int searchTimeLimitMs = 3000;
    // SSDP answers fit one small datagram; nothing longer is read.
    static constexpr qint64 datagramLimitBytes = 8192;

    // The LOCATION of an SSDP answer ("HTTP/1.1 200 OK" and headers), or an empty URL.
    static QUrl answerLocation(const QByteArray &answer);

    // `address` must be usable (TAVO_mgr_boxAddress::isUsable()).
    TAVO_mgr_boxLookup(const TAVO_mgr_boxAddress &address, QObject *parent);

    // located() or unanswered() follows exactly once, for a description URL before start() returns.
    void start();

Q_SIGNALS:
    void located(const QUrl &description);
    void unanswered();

private:
    void hostLookedUp(const QHostInfo &info);
    void sendSearch();
    void readSearchAnswers();
    void searchUnanswered();
    QUrl descriptionAt(int port, const QString &path) const;
    void report(const QUrl &description);

    TAVO_mgr_boxAddress address;
    QHostAddress hostAddress;
    QUdpSocket *searchSocket = nullptr;
    QTimer repeatTimer;
    QTimer limitTimer;
    bool done = false;
};

#endif
