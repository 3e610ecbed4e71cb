#ifndef TAVO_MGR_BOXSEARCH_H
#define TAVO_MGR_BOXSEARCH_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_boxName.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QHash>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

// Finds boxes without the window's discovery (which lives with its widgets), for the programs
// without a window: one box by its friendly name, UDN or address, or every box that answers.
// A name or UDN (and every box) is searched for by SSDP on the multicast group, every second;
// every description that answers is read as discovery reads it, until one matches or the time
// is up (every box: seen() for each, searched for again every few seconds without end). An
// address is looked up as the window looks one up (TAVO_mgr_boxLookup), again while it does not
// answer, and its description is read. Each search is a round: a description is read at most
// once a round, within a time limit; one that failed or did not come is asked for again, each
// time after twice as many rounds up to longestPauseRounds, and one that was read again after
// longestPauseRounds (the box may have moved or been renamed).
class TAVO_mgr_boxSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int searchRepeatMs = 1000;
    // Boxes that come later are heard by the next search: no need to ask every second.
    static constexpr int everyBoxRepeatMs = 5000;
    static constexpr int descriptionLimitBytes = 256 * 1024;
    // A box sends its description at once; a longer wait is a box that hangs.
    static constexpr int descriptionTimeLimitMs = 3000;
    // No house has more boxes: the places being read or waiting for their next round are at
    // most this many, and a network that names more at once is not read on until some are forgotten.
    static constexpr int descriptionsLimit = 256;
    static constexpr int longestPauseRounds = 32;

    // One box: found() or notFound() follows exactly once. A time limit of 0 searches until found.
    TAVO_mgr_boxSearch(const TAVO_mgr_boxName &box, int timeLimitMs, QObject *parent = nullptr);
    // Every box: seen() for each box that answers, again after the longest pause; never ends.
    explicit TAVO_mgr_boxSearch(QObject *parent = nullptr);

    void start();

    // True when the record is the box the user named (an address names whichever box is there).
    static bool matches(const TAVO_SERVER &server, const TAVO_mgr_boxName &box);

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

    TAVO_mgr_boxName box;
    bool everyBox = false;
    int timeLimitMs = 0;
    QUdpSocket socket;
    QNetworkAccessManager network;
    QTimer repeat;
    QTimer timeLimit;
    bool lookingUp = false;
    QUrl description;  // where the address's description is, once looked up
    // When a place may be read again, and the pause after its last failure (0: it was read).
    struct Visit
    {
        int dueRound = 0;
        int failurePause = 0;
    };
    void forgetPlacesNoLongerNamed();
    void setNextVisit(const QUrl &location, bool read);

    QHash<QUrl, Visit> visits;
    int round = 0;
    bool done = false;
};

#endif
