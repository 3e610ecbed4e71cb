#ifndef TAVO_MGR_CHANNELLIST_H
#define TAVO_MGR_CHANNELLIST_H

#include <QList>
#include <QString>
#include <QStringList>

// One channel of the receiver behind a box, as its owner knows it.
struct TAVO_mgr_channel
{
    QString name;
    QString number;     // digits only, as typed on the receiver's remote
    QString logo;       // a local image file, or empty
    QString group;      // or empty
    QStringList keys;   // the box's key names that tune it; empty: derived from the number

    bool operator==(const TAVO_mgr_channel &other) const
    {
        return name == other.name && number == other.number && logo == other.logo && group == other.group
               && keys == other.keys;
    }
};

// The channels of one box, kept by the box's UDN in a small JSON file of its own in the client's
// data folder (~/.local/share/TAVO_Client/channels/<UDN>.json), together with how the box
// is tuned: which key follows the digits and how long to wait between keys. Free of widgets, so
// that programs without a window (a recorder) can read the same lists.
class TAVO_mgr_channelList
{
public:
    // Boxes that fire infra-red at a receiver lose keys sent closer than a few hundred
    // milliseconds apart; the simulated box takes them as fast as they come.
    static constexpr int defaultPauseMs = 400;
    static constexpr int maxPauseMs = 10000;
    static constexpr int maxNumberDigits = 6;

    QList<TAVO_mgr_channel> channels;
    QString confirmKey;  // the key sent after the digits ("OK", another key name), or empty
    int pauseMs = defaultPauseMs;
    QString lastNumber;      // the channel tuned last
    QString previousNumber;  // the one before it, for going back

    // Notes the channel as tuned: the one tuned before becomes the previous one.
    void remember(const QString &number);

    // The list of the box, or an empty one when none was kept or its file cannot be read.
    static TAVO_mgr_channelList load(const QString &udn);
    // Replaces the box's file atomically; false (and why in `error`) when it could not be written.
    bool save(const QString &udn, QString *error = nullptr) const;
    static QString filePath(const QString &udn);
    // Replaces the channels by those of an M3U playlist; a faulty playlist changes nothing and
    // leaves one message per faulty line in `errors`.
    bool importPlaylist(const QByteArray &playlist, QStringList *errors);

    // The key names that tune the channel: its own sequence, or its digits and the confirming key.
    QStringList keysFor(const TAVO_mgr_channel &channel) const;
    // The channel of that number, or nullptr.
    const TAVO_mgr_channel *byNumber(const QString &number) const;

    static bool isChannelNumber(const QString &text);
    static bool isKeyName(const QString &text);
};

#endif
