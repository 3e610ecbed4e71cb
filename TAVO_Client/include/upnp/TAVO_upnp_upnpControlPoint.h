#ifndef TAVO_UPNP_UPNPCONTROLPOINT_H
#define TAVO_UPNP_UPNPCONTROLPOINT_H

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include "TAVO_upnp_gobjectRef.h"

#include <vector>

class QUrl;
class QWidget;
class TAVO_xml_xmlDownloader;
struct _GSSDPClient;
struct _GSSDPResourceBrowser;
struct _GUPnPContext;
struct _GUPnPContextManager;

// Finds the streamer boxes on the network by UPnP and starts the download of each new box's
// device description into the cache. Searching starts in the constructor, on every IPv4
// interface (loopback included), with one SSDP browser per interface.
//
// The browsers only listen and search: the description is fetched by the client's own
// downloader, which bounds its size and time, never by the UPnP library, which would read
// whatever a box sends into memory.
class TAVO_upnp_upnpControlPoint : public QObject
{
    Q_OBJECT

public:
    static const QString streamerDeviceType;

    explicit TAVO_upnp_upnpControlPoint(QWidget *parent);
    ~TAVO_upnp_upnpControlPoint() override;

    // Sends one more search on every interface.
    void upnpReflash();

    // Fetches the device description at location as if a box had announced it there, for a box
    // that discovery cannot see: the same downloader, parser and registry rule. Gives the
    // downloader, whose downloadFinished() tells how it went, or null when the cache cannot
    // hold the file.
    TAVO_xml_xmlDownloader *addBoxAt(const QUrl &location);

    // The browser of a network interface that came up, and the interface that went away.
    void addBrowser(_GSSDPResourceBrowser *browser);
    void removeBrowserOf(_GUPnPContext *context);
    // GUPnP could not make a network's context, so nothing would be found there: the search
    // starts over, after a pause that grows while it keeps failing.
    void networkRefusedSearch();

public Q_SLOTS:
    // A device reported by UPnP: its full type, its bare UUID and its first description URL.
    void rootDeviceOnline(const QString &deviceType, const QString &uuid, const QUrl &location);
    // The box said goodbye (or its announcement expired). It keeps its row; when it comes back
    // its description is fetched again.
    void rootDeviceOffline(const QString &uuid);
    // SSDP reports an expired announcement and a goodbye alike as the device leaving, which
    // rootDeviceOffline handles; these two have nothing left to do and stay for the interface.
    void rootDeviceInvalidated(const QString &uuid);
    void rootDeviceRemoved(const QString &uuid);

Q_SIGNALS:
    // A streamer box came online, or said goodbye (or its announcement expired).
    void boxSeen(const QString &uuid);
    void boxLeft(const QString &uuid);
    // Searching could not start on a network and will be tried again, or started after that.
    void searchTrouble(const QString &text);

private:
    struct FailedFetch
    {
        int holdOffMs = 0;
        QDeadlineTimer nextFetch;
    };

    void startContextManager();
    void stopContextManager();
    void restartContextManager();
    void removeBrowser(_GSSDPResourceBrowser *browser);
    void sendSearch(_GSSDPClient *client);
    void removeSearcher(_GSSDPResourceBrowser *searcher);
    void searchAgain();
    void descriptionFetched(const QString &uuid, bool succeeded);
    bool isHeldOff(const QString &uuid) const;

    QWidget *parentWidget;
    TAVO_upnp_gobjectRef<_GUPnPContextManager> contextManager;
    std::vector<TAVO_upnp_gobjectRef<_GSSDPResourceBrowser>> browsers;
    // Short-lived, one per search and interface.
    std::vector<TAVO_upnp_gobjectRef<_GSSDPResourceBrowser>> searchers;
    // A box is reported once per interface it is seen on; its description is fetched once
    // while it stays online, unless that fetch fails.
    QSet<QString> onlineDevices;
    QHash<QString, FailedFetch> failedFetches;
    // Announcements are plain datagrams: many boxes announcing or answering at once overflow
    // the socket, and a box whose datagrams were lost would otherwise wait for its next
    // announcement (up to half an hour). So searches repeat, soon after start and then ever
    // less often; a new box starts the series over once the boxes stop coming, because where
    // one box appeared others that were drowned out by the same burst may be waiting.
    QTimer searchTimer;
    QTimer restartTimer;
    bool searchRestarted = false;
};

#endif
