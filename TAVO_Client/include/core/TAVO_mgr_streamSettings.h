#ifndef TAVO_MGR_STREAMSETTINGS_H
#define TAVO_MGR_STREAMSETTINGS_H

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class QCommandLineParser;

// The five settings a box's stream request carries, as its owner chose them: the video and
// sound codecs, the picture's size, its frame rate and the bit rate. One table names each
// setting, its items, its default and what the box's request calls it; the window's selectors,
// the request, the commands' options and their manual pages all come from it. A value is only
// ever one of the fixed items: whatever the settings file or a command line holds, nothing else
// reaches the box.
class TAVO_mgr_streamSettings
{
public:
    enum Setting { VideoCodec, AudioCodec, Resolution, Framerate, Bitrate };
    static constexpr int settingCount = 5;

    struct Kind
    {
        QString label;        // "Video Codec", as the window shows it
        QString name;         // "videoCodec": the window's selector and the settings file's key
        QString option;       // "video-codec": the commands' option
        QString queryKey;     // "vcodec": the request's key
        QString meaning;      // "the video codec", for the commands' help
        QStringList items;    // "MPEG-2", "H.264": what the user reads
        QStringList values;   // "mpeg2", "h264": what the request sends for each item
        int defaultIndex;
    };
    // The settings in the order of the request's keys.
    static const std::array<Kind, settingCount> &kinds();

    // Each setting's item, as an index into its kind's items; the defaults at first.
    std::array<int, settingCount> chosen;

    TAVO_mgr_streamSettings();

    // "vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3"
    QString query() const;
    // The item shown for a setting ("H.264").
    QString item(Setting setting) const;

    // The index of an item of the setting given by its text or its request value ("H.264" or
    // "h264", case aside); none when it is neither.
    static std::optional<int> indexOf(Setting setting, const QString &text);

    // What a box's requests carry: the settings remembered for the box, each replaced by the
    // one given for this run (a command's options), if any.
    static TAVO_mgr_streamSettings forBox(const QString &udn);
    // Keeps the settings for the box's next stream requests.
    void rememberFor(const QString &udn) const;

    // The settings a command was given on its command line; every box of this run uses them
    // in place of what is remembered for it.
    using Given = std::array<std::optional<int>, settingCount>;
    static void giveForThisRun(const Given &given);

    // The commands' options, one a setting ("--video-codec mpeg2|h264"), and their reading:
    // false with `problem` set when a value is none of the setting's items.
    static QList<QCommandLineOption> commandLineOptions();
    static bool readCommandLine(const QCommandLineParser &parser, Given *given, QString *problem);
};

#endif
