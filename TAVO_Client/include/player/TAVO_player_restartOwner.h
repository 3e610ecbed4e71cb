#ifndef TAVO_PLAYER_RESTARTOWNER_H
#define TAVO_PLAYER_RESTARTOWNER_H

#include "TAVO_mgr_tuningRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The one owner of a playing stream's starts again and of its tuning: it chooses each box's
// network cache, watches the pictures that miss the screen and the delay libVLC raises, and
// starts the player again when the rules (TAVO_mgr_tuningRules) say so, telling the user why.
// Every start again shares one hold-off, and a cap per hour. The player reads the box's stream
// through the program's one reader of it (TAVO_mgr_boxStream), which keeps the connection to the
// box and gives the new player the newest picture that decodes alone: a start again asks the box
// nothing, and a recording, another reader, goes on through it. What it measures starts afresh
// with every start of a stream: its own, the stream keeper's reconnect and the user's Start.
class TAVO_player_restartOwner : public QObject
{
    Q_OBJECT

public:
    // Why the owner starts a stream again: its pictures kept missing the screen, or the delay
    // libVLC raised crept beyond where the box's starts settle.
    enum class Reason { LongerCache, DelayCrept };
    Q_ENUM(Reason)

    struct Timing
    {
        int checkMs = 1000;
        // The pictures missed and the delays raised in a stream's first seconds are what the
        // stream needs to settle: libVLC finds its delay and throws pictures away meanwhile.
        int settleMs = 15000;
        // Pictures missed are counted over windows this long.
        int windowMs = 10000;
        // How long a stream plays smoothly to earn a shorter cache.
        int cleanPlayMs = 5 * 60 * 1000;
        // The steady clock the times are measured on, in ms.
        std::function<qint64()> nowMs = [] { return QDeadlineTimer::current().deadline(); };
        // The calendar, for the age of remembered caches.
        std::function<QDateTime()> today = [] { return QDateTime::currentDateTimeUtc(); };
    };

    struct Stream
    {
        // The playing stream's pictures so far; none without a stream.
        std::function<std::optional<TAVO_mgr_tuningRules::PictureCounts>()> pictures;
        // The delay libVLC raised the playing stream's to, in ms; 0 while it has not.
        std::function<int()> raisedDelayMs;
        // The name of the box whose stream plays, for the status line.
        std::function<QString()> playingName;
        // Starts the stream again with the options mediaOptionsFor() now gives.
        std::function<void()> restart;
    };

    explicit TAVO_player_restartOwner(Stream stream, QObject *parent = nullptr);
    TAVO_player_restartOwner(Stream stream, QObject *parent, Timing timing);

    // The cache for the box's next start: the remembered one while it still holds (a cache
    // remembered longer ago or by other rules is dropped), else the shortest.
    static int cachingFor(const QString &udn, const QDateTime &now = QDateTime::currentDateTimeUtc());
    // The libVLC options that give the box's next start its cache.
    QList<QByteArray> mediaOptionsFor(const QString &udn);
    // Forgets what was learnt of the box (`name` for the status line): its cache and where its
    // starts settled.
    void forget(const QString &udn, const QString &name);
    // Measures with other times from now on (a test's shorter windows).
    void setTiming(const Timing &timing);

public Q_SLOTS:
    // The stream of this box plays (again); empty: nothing plays.
    void playingChanged(const QString &udn);

Q_SIGNALS:
    // The owner starts the stream of this box again, for this reason.
    void restarting(const QString &udn, TAVO_player_restartOwner::Reason reason);
    // One line for the status line: a start again and why, a shorter cache, a reset.
    void status(const QString &text);

private:
    // The start of a stream being measured.
    struct Playing
    {
        QString udn;
        int cachingMs = 0;
        qint64 startedAtMs = 0;
        // The highest delay while the start settled; then what its creep is measured from.
        int settledMs = 0;
        std::optional<int> baselineMs;
        int lastDelayMs = 0;
        qint64 nextWindowAtMs = 0;
        std::optional<TAVO_mgr_tuningRules::PictureCounts> windowStart;
        qint64 windowStartMs = 0;
        TAVO_mgr_tuningRules::CacheWatch cache;
        bool shortened = false;
    };

    void tick();
    void settle();
    // Whether the stream was started again for a longer cache.
    bool lookAtPictures(qint64 nowMs);
    void lookAtDelay(qint64 nowMs, int delayMs, int lastDelayMs);
    bool lengthen(qint64 nowMs);
    void shortenForNextStart();
    // Every start again on purpose: told with `said`, quiet without it.
    void restart(QString udn, Reason reason, qint64 nowMs, const QString &said);

    Stream stream;
    Timing timing;
    QTimer ticker;
    // None while nothing plays, and from a start again until the stream plays again.
    std::optional<Playing> playing;
    TAVO_mgr_tuningRules::Restarts restarts;
    // Where the recent starts of each box settled, by box and cache.
    QHash<QString, QHash<int, QList<int>>> settledDelays;
    // The box and cache of the options last given to a start.
    QString optionsUdn;
    int optionsCachingMs = 0;
    // Said again once the stream that the owner started again plays: the stream keeper's
    // "Playing" would hide it.
    QString sayWhenBack;
};

#endif
