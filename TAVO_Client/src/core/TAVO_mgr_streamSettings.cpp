#include "TAVO_mgr_streamSettings.h"

#include "TAVO_mgr_clientSettings.h"

#include <QCommandLineParser>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcStreamSettings, "tavo.core.streamSettings", QtWarningMsg)

using Setting = TAVO_mgr_streamSettings::Setting;

TAVO_mgr_streamSettings::Given &givenForThisRun()
{
    static TAVO_mgr_streamSettings::Given given;
    return given;
}

} // namespace

// The box names its codecs in its own words; the sizes, rates and bit rates (in Mbit/s) it
// takes as they are written.
const std::array<TAVO_mgr_streamSettings::Kind, TAVO_mgr_streamSettings::settingCount> &TAVO_mgr_streamSettings::kinds()
{
    static const QStringList resolutions{"480i", "480p", "576i", "576p", "720i", "720p", "1080i"};
    static const QStringList framerates{"24", "25", "30", "50", "60"};
    static const QStringList bitrates{"1.5", "3", "4.5", "6"};
    static const std::array<Kind, settingCount> table{{
        {"Video Codec", "videoCodec", "video-codec", "vcodec", "the video codec", {"MPEG-2", "H.264"},
         {"mpeg2", "h264"}, 0},
        {"Audio Codec", "audioCodec", "audio-codec", "acodec", "the sound codec", {"AAC"}, {"aac"}, 0},
        {"Resolution", "resolution", "resolution", "res", "the picture's lines (i interlaced, p progressive)",
         resolutions, resolutions, 5},
        {"FPS", "framerate", "fps", "fps", "the frames a second", framerates, framerates, 2},
        {"Bitrate", "bitrate", "bitrate", "bitrate", "the bit rate in Mbit/s", bitrates, bitrates, 1},
    }};
    return table;
}

TAVO_mgr_streamSettings::TAVO_mgr_streamSettings()
{
    for (int setting = 0; setting < settingCount; ++setting)
        chosen[setting] = kinds()[setting].defaultIndex;
}

QString TAVO_mgr_streamSettings::query() const
{
    QStringList pairs;
    for (int setting = 0; setting < settingCount; ++setting)
        pairs << kinds()[setting].queryKey + QLatin1Char('=') + kinds()[setting].values.at(chosen[setting]);
    return pairs.join(QLatin1Char('&'));
}

QString TAVO_mgr_streamSettings::item(Setting setting) const
{
    return kinds()[setting].items.at(chosen[setting]);
}

std::optional<int> TAVO_mgr_streamSettings::indexOf(Setting setting, const QString &text)
{
    const Kind &kind = kinds()[setting];
    for (int index = 0; index < kind.items.size(); ++index) {
        if (text.compare(kind.items.at(index), Qt::CaseInsensitive) == 0
            || text.compare(kind.values.at(index), Qt::CaseInsensitive) == 0)
            return index;
    }
    return std::nullopt;
}

TAVO_mgr_streamSettings TAVO_mgr_streamSettings::forBox(const QString &udn)
{
    TAVO_mgr_streamSettings settings;
    for (int setting = 0; setting < settingCount; ++setting) {
        if (givenForThisRun()[setting]) {
            settings.chosen[setting] = *givenForThisRun()[setting];
            continue;
        }
        if (udn.isEmpty())
            continue;
        // The file is the user's to edit: only an item's own text is taken from it.
        const QString stored = TAVO_mgr_clientSettings::streamSettingFor(udn, kinds()[setting].name);
        const int index = kinds()[setting].items.indexOf(stored);
        if (index >= 0)
            settings.chosen[setting] = index;
        else if (!stored.isEmpty())
            qCDebug(lcStreamSettings) << "Asking" << udn << "for the default" << kinds()[setting].name
                                      << "in place of" << stored;
    }
    return settings;
}

void TAVO_mgr_streamSettings::rememberFor(const QString &udn) const
{
    for (int setting = 0; setting < settingCount; ++setting)
        TAVO_mgr_clientSettings::setStreamSettingFor(udn, kinds()[setting].name, item(Setting(setting)));
}

void TAVO_mgr_streamSettings::giveForThisRun(const Given &given)
{
    givenForThisRun() = given;
}

QList<QCommandLineOption> TAVO_mgr_streamSettings::commandLineOptions()
{
    QList<QCommandLineOption> options;
    for (const Kind &kind : kinds()) {
        options << QCommandLineOption(
            kind.option,
            QStringLiteral("Ask the box for %1; by default as chosen for the box in the window, else %2.")
                .arg(kind.meaning, kind.values.at(kind.defaultIndex)),
            kind.values.join(QLatin1Char('|')));
    }
    return options;
}

bool TAVO_mgr_streamSettings::readCommandLine(const QCommandLineParser &parser, Given *given, QString *problem)
{
    for (int setting = 0; setting < settingCount; ++setting) {
        const Kind &kind = kinds()[setting];
        if (!parser.isSet(kind.option))
            continue;
        (*given)[setting] = indexOf(Setting(setting), parser.value(kind.option).trimmed());
        if (!(*given)[setting]) {
            QStringList values = kind.values;
            const QString last = values.takeLast();
            *problem = values.isEmpty() ? QStringLiteral("--%1 takes %2").arg(kind.option, last)
                                        : QStringLiteral("--%1 takes %2 or %3")
                                              .arg(kind.option, values.join(QLatin1String(", ")), last);
            return false;
        }
    }
    return true;
}
