#ifndef TAVO_MGR_CHANNELLIST_H
#define TAVO_MGR_CHANNELLIST_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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
    // Bounds of what a list may hold, wherever it comes from: no receiver has more channels, no
    // name, group or logo path is longer, no channel needs more keys.
    static constexpr int maxChannels = 10000;
    static constexpr int maxFieldLength = 1000;
    static constexpr int maxKeys = 64;

    QList<TAVO_mgr_channel> channels;
    QString confirmKey;  // the key sent after the digits ("OK", another key name), or empty
    int pauseMs = defaultPauseMs;
    QString lastNumber;      // the channel tuned last
    QString previousNumber;  // the one before it, for going back

    // Notes the channel as tuned: the one tuned before becomes the previous one.
    void remember(const QString &number);

    // The list of the box, or an empty one when none was kept or its file is refused (too large,
    // not JSON, or a list the rule below refuses); then `error` says why and the file stays as it is.
    static TAVO_mgr_channelList load(const QString &udn, QString *error = nullptr);
    // Replaces the box's file atomically; false (and why in `error`) when it could not be written.
    bool save(const QString &udn, QString *error = nullptr) const;
    static QString filePath(const QString &udn);
    // Replaces the channels by those of an M3U playlist; a faulty playlist changes nothing and
    // leaves one message per faulty line in `errors`.
    bool importPlaylist(const QByteArray &playlist, QStringList *errors);

    // The key names that tune the channel: its own sequence, or its digits and the confirming key.
    QStringList keysFor(const TAVO_mgr_channel &channel) const;
    // The key names that tune the channel asked for by its number or else its name (in any case),
    // or a number the list lacks typed as digits; empty when the list has no such name.
    QStringList keysFor(const QString &numberOrName) const;
    // The same for a channel asked for by its number alone: a name stands for nothing.
    QStringList keysForNumber(const QString &number) const;
    // The channel of that number, or nullptr.
    const TAVO_mgr_channel *byNumber(const QString &number) const;

    // Why the channel cannot be kept (no name, no number of 1 to 6 digits, a key that is no key
    // name, a control character or an overlong field), or an empty text.
    static QString faultOf(const TAVO_mgr_channel &channel);
    // The one rule for a list, from the editor, the box's file or a playlist: every channel kept,
    // each number once, at most maxChannels. One message per fault, each channel named by
    // `where(index)` ("Line 4", "Row 2").
    static QStringList faultsOf(const QList<TAVO_mgr_channel> &channels, const std::function<QString(int)> &where);

    static bool isChannelNumber(const QString &text);
    static bool isKeyName(const QString &text);
};

#endif
