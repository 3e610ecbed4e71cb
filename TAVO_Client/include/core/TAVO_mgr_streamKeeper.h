#ifndef TAVO_MGR_STREAMKEEPER_H
#define TAVO_MGR_STREAMKEEPER_H

#include "TAVO_mgr_backOff.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Keeps the stream the user started playing until Stop or another Start: the player of a stream
// that ends, fails or stops moving by itself is started again, after the pause a box's reader
// waits before asking again (TAVO_mgr_backOff). It reports each step as a line for the status bar.
class TAVO_mgr_streamKeeper : public QObject
{
    Q_OBJECT

public:
    // A stream that reads nothing for this long is as lost as one that ended.
    static constexpr int stallLimitMs = 8000;
    static constexpr int stallCheckMs = 1000;

    // What the keeper needs of the player. An attempt that neither plays nor fails within
    // attemptLimitMs is given up.
    struct Player
    {
        std::function<void()> stop;
        std::function<void(const QByteArray &location)> startQuietly;
        std::function<qint64()> bytesRead;
        int attemptLimitMs;
    };

    explicit TAVO_mgr_streamKeeper(Player player, QObject *parent = nullptr);

    // Start was pressed for the box `udn` called `name`, whose stream is at `location`.
    void requested(const QString &udn, const QString &name, const QByteArray &location);
    // The start-up watch of that Start has ended; `reason` says why it failed, when it did.
    void startReturned(bool playing, const QString &reason);
    void stopped();
    // The player's own word that the stream ended or failed, or that a quiet start plays.
    void lost();
    void back();

    // The box the user wants to watch (its stream starting, playing or retried); empty after
    // Stop.
    QString wantedBox() const;
    // The box whose stream plays now; empty while none does.
    QString playingUdn() const;
    QString playingName() const;

Q_SIGNALS:
    void status(const QString &text);
    void playingChanged(const QString &udn);

private:
    void retry();
    void endRetries();
    void checkStreamMoves();
    void setPlaying(bool playing);

    Player player;
    // The box the user wants to watch, until Stop, another Start or a failed start.
    QString wantedUdn;
    QString wantedName;
    QByteArray wantedLocation;
    bool playing = false;
    QTimer retryTimer;    // the pause before the next attempt
    QTimer attemptBound;  // an attempt that neither plays nor fails within this is given up
    TAVO_mgr_backOff backOff;
    // A box that vanishes without closing the connection leaves a stream that just stops.
    QTimer stallCheck;
    QElapsedTimer unchangedFor;
    qint64 lastBytesRead = -1;
};

#endif
