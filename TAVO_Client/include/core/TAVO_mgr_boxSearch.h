#ifndef TAVO_MGR_BOXSEARCH_H
#define TAVO_MGR_BOXSEARCH_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_record_boxName.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

// Finds boxes without the window's discovery (which lives with its widgets), for the programs
// without a window: one box by its friendly name, UDN or address, or every box that answers.
// A name or UDN (and every box) is searched for by SSDP on the multicast group, every second;
// every description that answers is read as discovery reads it, until one matches or the time
// is up (every box: seen() for each, searched for again every few seconds without end). An address is looked up as the window looks one up (TAVO_mgr_boxLookup), again
// while it does not answer, and its description is read, again every second while it does not
// answer.
class TAVO_mgr_boxSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int searchRepeatMs = 1000;
    // Boxes that come later are heard by the next search: no need to ask every second.
    static constexpr int everyBoxRepeatMs = 5000;
    static constexpr int descriptionLimitBytes = 256 * 1024;
    // No house has more boxes; a network that names more places is not read on.
    static constexpr int descriptionsLimit = 256;

    // One box: found() or notFound() follows exactly once. A time limit of 0 searches until found.
    TAVO_mgr_boxSearch(const TAVO_record_boxName &box, int timeLimitMs, QObject *parent = nullptr);
    // Every box: seen() for each box that answers, once per description; never ends.
    explicit TAVO_mgr_boxSearch(QObject *parent = nullptr);

    void start();

    // True when the record is the box the user named (an address names whichever box is there).
    static bool matches(const TAVO_SERVER &server, const TAVO_record_boxName &box);

Q_SIGNALS:
    void found(const TAVO_SERVER &server);
    void notFound();
    // A streamer box answered (every box searched for, or the one named).
    void seen(const TAVO_SERVER &server);
    void progress(const QString &text);

private:
    void connectParts();
    void lookUp();
    void sendSearch();
    void readAnswers();
    void fetchDescription(const QUrl &location);
    void descriptionArrived(QNetworkReply *reply);
    void giveUp();

    bool searchesBySsdp() const;

    TAVO_record_boxName box;
    bool everyBox = false;
    int timeLimitMs = 0;
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
