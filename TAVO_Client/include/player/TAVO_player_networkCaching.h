#ifndef TAVO_PLAYER_NETWORKCACHING_H
#define TAVO_PLAYER_NETWORKCACHING_H

#include "TAVO_player_vlcPlayer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// Chooses the network cache of each box's stream: as short as the box's stream allows, for the
// shortest delay between a key and its picture. A box starts with the shortest cache, in libVLC's
// live mode. When its pictures keep missing the screen (a stream that arrives in bursts, over a
// weak Wi-Fi), its stream starts again, quietly, with twice the cache, and the box keeps that
// for its later starts; a box that then plays a long while without missing a picture gets the
// next shorter cache at its next start. Remembered by the box's UDN. Only two windows in a row
// with too many missed make a longer cache: the odd hiccup of a busy computer, now and then over
// an evening, would otherwise double the cache each time, for a delay of seconds in the end.
class TAVO_player_networkCaching : public QObject
{
    Q_OBJECT

public:
    static constexpr int shortestMs = TAVO_player_vlcPlayer::liveNetworkCachingMs;
    static constexpr int longestMs = 1600;

    struct Timing
    {
        // Pictures missed while a stream settles do not count: libVLC throws some away in a
        // stream's first seconds while it finds the delay the stream needs.
        int settleMs = 15000;
        // Losses are counted over windows this long.
        int windowMs = 10000;
        // How long a stream plays without missing a picture to earn a shorter cache.
        int cleanPlayMs = 5 * 60 * 1000;
    };

    struct Stream
    {
        // The playing stream's pictures so far; none without a stream.
        std::function<std::optional<TAVO_player_vlcPlayer::PictureCounts>()> pictures;
        // Whether the stream may start again now (not while it is recorded).
        std::function<bool()> mayRestart;
        // Starts the stream again with the options mediaOptionsFor() now gives.
        std::function<void()> restart;
    };

    explicit TAVO_player_networkCaching(Stream stream, QObject *parent = nullptr);
    TAVO_player_networkCaching(Stream stream, QObject *parent, Timing timing);

    // The cache for the box's next start.
    static int cachingFor(const QString &udn);
    // The libVLC options that give the box's next start its cache.
    static QList<QByteArray> mediaOptionsFor(const QString &udn);

public Q_SLOTS:
    // The stream of this box plays (again); empty: nothing plays.
    void playingChanged(const QString &udn);

private:
    void check();
    int missed(const TAVO_player_vlcPlayer::PictureCounts &now) const;
    bool tooManyMissed(int missedNow, const TAVO_player_vlcPlayer::PictureCounts &now) const;
    void lengthen();
    void shortenForNextStart();

    Stream stream;
    Timing timing;
    QString playingUdn;
    QTimer checkTimer;
    std::optional<TAVO_player_vlcPlayer::PictureCounts> lastCounts;
    bool missedLastWindow = false;
    QElapsedTimer withoutMiss;
    bool shortened = false;
};

#endif
