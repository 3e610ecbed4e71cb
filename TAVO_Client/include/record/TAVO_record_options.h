#ifndef TAVO_RECORD_OPTIONS_H
#define TAVO_RECORD_OPTIONS_H

#include "TAVO_mgr_streamSettings.h"
#include "TAVO_mgr_boxName.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// What the command line asks of one recording.
struct TAVO_record_options
{
    TAVO_mgr_boxName box;
    qint64 forMs = -1;   // --for: how long from the first byte written; -1: no length
    QDateTime endAt;     // --until; invalid: no time of day
    QString output;      // a file, "-" for standard output, empty for the videos folder
    QString channel;     // digits typed on the box's remote, empty to keep the channel
    // --keys: the keys that tune the channel, as an exported playlist carries them; they tune it
    // in place of the box's channel list, which a TV server's user may not have.
    QStringList keys;
    static constexpr int keysLimit = 16;
    bool verbose = false;
    // --video-codec, --resolution, ...: each given one in place of the box's remembered one.
    TAVO_mgr_streamSettings::Given streamSettings;

    // Fills options from arguments; false with `problem` set when they cannot be used. `now`
    // is when the recording starts, for --until. --help and --version print and exit.
    static bool parse(const QStringList &arguments, const QDateTime &now, TAVO_record_options *options,
                      QString *problem);
    // "95m", "90s", "2h" (or a bare number of seconds) in milliseconds; -1 when not a length.
    static qint64 lengthMs(const QString &text);
    // The next time of day "HH:MM" after now (tomorrow when it has passed today).
    static QDateTime nextTimeOfDay(const QString &text, const QDateTime &now);
};

#endif
