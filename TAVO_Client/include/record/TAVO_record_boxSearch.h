#ifndef TAVO_RECORD_BOXSEARCH_H
#define TAVO_RECORD_BOXSEARCH_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_record_boxName.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

// Finds one box by its friendly name, UDN or address, without the window's discovery (which
// lives with its widgets). A name or UDN is searched for by SSDP on the multicast group, every
// second; every description that answers is read as discovery reads it, until one matches or
// the time is up. An address is looked up as the window looks one up (TAVO_mgr_boxLookup), again
// while it does not answer, and its description is read, again every second while it does not
// answer.
class TAVO_record_boxSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int searchRepeatMs = 1000;
    static constexpr int descriptionLimitBytes = 256 * 1024;

    TAVO_record_boxSearch(const TAVO_record_boxName &box, int timeLimitMs, QObject *parent = nullptr);

    // found() or notFound() follows exactly once.
    void start();

    // True when the record is the box the user named (an address names whichever box is there).
    static bool matches(const TAVO_SERVER &server, const TAVO_record_boxName &box);

Q_SIGNALS:
    void found(const TAVO_SERVER &server);
    void notFound();
    void progress(const QString &text);

private:
    void lookUp();
    void sendSearch();
    void readAnswers();
    void fetchDescription(const QUrl &location);
    void descriptionArrived(QNetworkReply *reply);
    void giveUp();

    TAVO_record_boxName box;
    int timeLimitMs;
    QUdpSocket socket;
    QNetworkAccessManager network;
    QTimer repeat;
    QTimer timeLimit;
    bool lookingUp = false;
    QUrl description;  // where the address's description is, once looked up
    QSet<QUrl> fetched;
    bool done = false;
};

#endif
