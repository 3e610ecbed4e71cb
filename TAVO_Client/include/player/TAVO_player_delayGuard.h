#ifndef TAVO_PLAYER_DELAYGUARD_H
#define TAVO_PLAYER_DELAYGUARD_H

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// Keeps a live stream's delay near the one its start settled on. libVLC raises a stream's delay
// whenever the stream comes late to it and never lowers it within the stream: over an evening a
// box whose clock runs fast or slow, and the network's odd hiccup, add up to a picture that
// follows the keys ever later. When libVLC has raised the delay more than allowedCreepMs beyond
// the lowest a start of the box settled on at this cache, the stream starts again, quietly, and
// the new start settles afresh. libVLC has just thrown away the pictures it held, so the picture
// stalls then anyway. Starts settle some 100 ms apart; measured against its own start alone, a
// stream that happened to settle high could creep that much further.
class TAVO_player_delayGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr int allowedCreepMs = 100;

    struct Timing
    {
        // The raises of a stream's first seconds are what the stream needs: they settle its delay.
        int settleMs = 15000;
        int checkMs = 1000;
        // A delay that climbs back sooner than this after a new start is not the box's clock but a
        // network that comes late again and again, which a new start would not mend.
        int fewestMsBetweenRestarts = 5 * 60 * 1000;
        // The steady clock these times are measured on, in ms.
        std::function<qint64()> nowMs = [] { return QDeadlineTimer::current().deadline(); };
    };

    struct Stream
    {
        // The delay libVLC raised the playing stream's to, in ms; 0 while it has not.
        std::function<int()> raisedDelayMs;
        // Whether the stream may start again now (not while it is recorded).
        std::function<bool()> mayRestart;
        std::function<void()> restart;
    };

    explicit TAVO_player_delayGuard(Stream stream, QObject *parent = nullptr);
    TAVO_player_delayGuard(Stream stream, QObject *parent, Timing timing);

public Q_SLOTS:
    // The stream of this box plays (again), with this network cache; empty: nothing plays.
    void playingChanged(const QString &udn, int cachingMs);

private:
    struct Settled
    {
        int cachingMs = 0;
        int lowestMs = 0;
    };

    void check();
    // What the stream's creep is measured from, once its start has settled.
    int noteSettled();

    Stream stream;
    Timing timing;
    QTimer checkTimer;
    QString playingUdn;
    qint64 startedAtMs = 0;
    // When this guard last started the box's stream again; none when it has not.
    std::optional<qint64> restartedAtMs;
    int cachingMs = 0;
    int settledMs = 0;
    int lastDelayMs = 0;
    // What this start's creep is measured from: the lowest delay a start of its box settled on at
    // this cache; 0 while the start settles.
    int creepFromMs = 0;
    QHash<QString, Settled> settledByBox;
};

#endif
