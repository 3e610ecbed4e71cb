#ifndef TAVO_MGR_PLAYLIST_H
#define TAVO_MGR_PLAYLIST_H

#include "TAVO_mgr_channelList.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// Channel lists as M3U playlists, the form TV software exchanges them in: "#EXTM3U", then per
// channel an "#EXTINF:-1 tvg-chno=… tvg-name=… tvg-logo=… group-title=…,Name" line and the
// entry's URL. A channel's own key sequence travels in a "tavo-keys" attribute.
class TAVO_mgr_playlist
{
public:
    static constexpr int maxLineLength = 4096;
    static constexpr int maxChannels = 10000;

    // The channels of the playlist; on any fault none at all, and `errors` holds one message
    // per faulty line ("Line 3: …").
    static QList<TAVO_mgr_channel> read(const QByteArray &text, QStringList *errors);
    // Every channel with the URL line `entryUrl` gives it.
    static QByteArray write(const QList<TAVO_mgr_channel> &channels,
                            const std::function<QString(const TAVO_mgr_channel &)> &entryUrl);
    // For a TV server: the recording command that tunes the box of `udn` to the channel and writes
    // its stream to standard output, `recorder` the command's path.
    static std::function<QString(const TAVO_mgr_channel &)> recordingCommand(const QString &recorder,
                                                                             const QString &udn);
};

#endif
