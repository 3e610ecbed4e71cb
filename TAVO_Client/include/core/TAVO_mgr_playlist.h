#ifndef TAVO_MGR_PLAYLIST_H
#define TAVO_MGR_PLAYLIST_H

#include "TAVO_mgr_channelList.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

// Channel lists as M3U playlists, the form TV software exchanges them in: "#EXTM3U", then per
// channel an "#EXTINF:-1 tvg-chno=… tvg-name=… tvg-logo=… group-title=…,Name" line and the
// entry's URL. A channel's own key sequence travels in a "tavo-keys" attribute.
class TAVO_mgr_playlist
{
public:
    static constexpr int maxLineLength = 4096;

    // The URL line of a channel's entry, or nothing when the channel cannot have one.
    using EntryUrl = std::function<std::optional<QString>(const TAVO_mgr_channel &)>;

    // The channels of the playlist, held to the list's one rule; on any fault none at all, and
    // `errors` holds one message per faulty line ("Line 3: …").
    static QList<TAVO_mgr_channel> read(const QByteArray &text, QStringList *errors);
    // Every channel with the URL line `entryUrl` gives it; on any fault (a channel the rule
    // refuses, an entry that cannot be written) nothing, and `faults` says why.
    static QByteArray write(const QList<TAVO_mgr_channel> &channels, const EntryUrl &entryUrl, QStringList *faults);
    // For a TV server: the recording command that tunes the box of `udn` to the channel and writes
    // its stream to standard output, `recorder` the command's path; nothing for a channel when an
    // argument cannot be written into the command. The command carries the channel's keys as
    // `list` tunes it (its confirming key among them): the TV server's user may have no list.
    static EntryUrl recordingCommand(const QString &recorder, const QString &udn, const TAVO_mgr_channelList &list);
    // The argument as a TV server's pipe command takes it: bare, in double quotes, or nothing.
    static std::optional<QString> commandArgument(const QString &argument);
};

#endif
