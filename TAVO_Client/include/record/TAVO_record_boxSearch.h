#ifndef TAVO_RECORD_BOXSEARCH_H
#define TAVO_RECORD_BOXSEARCH_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_record_boxName.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

// Finds one box by its friendly name, UDN or address, without the window's discovery (which
// lives with its widgets): an SSDP search for streamer boxes, sent to the multicast group and,
// for an address, to that host itself; every description that answers is read as discovery
// reads it, until one matches or the time is up. A box named by its description's URL is read
// there, again every second while it does not answer, with no search.
class TAVO_record_boxSearch : public QObject
{
    Q_OBJECT

public:
    static const QString streamerDeviceType;
    static constexpr int searchRepeatMs = 1000;
    static constexpr int descriptionLimitBytes = 256 * 1024;

    TAVO_record_boxSearch(const TAVO_record_boxName &box, int timeLimitMs, QObject *parent = nullptr);

    // found() or notFound() follows exactly once.
    void start();

    // True when the record, read from `description`, is the box the user named.
    static bool matches(const TAVO_SERVER &server, const QUrl &description, const TAVO_record_boxName &box);

Q_SIGNALS:
    void found(const TAVO_SERVER &server);
    void notFound();
    void progress(const QString &text);

private:
    void sendSearch();
    void readAnswers();
    void fetchDescription(const QUrl &location);
    void descriptionArrived(QNetworkReply *reply);
    void giveUp();
    QUrl wellKnownDescription() const;

    TAVO_record_boxName box;
    int timeLimitMs;
    QUdpSocket socket;
    QNetworkAccessManager network;
    QTimer repeat;
    QTimer timeLimit;
    QSet<QUrl> fetched;
    bool done = false;
    int searchesSent = 0;
};

#endif
