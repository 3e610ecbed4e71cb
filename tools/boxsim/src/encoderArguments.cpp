#include "encoderArguments.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace EncoderArguments {
namespace {

struct Resolution
{
    const char *name;
    int width;
    int height;
    bool interlaced;
};

// The picture sizes a box offers. Interlaced ones are coded as interlaced (top field first) by
// MPEG-2 and H.264; HEVC, whose encoders code fields as separate pictures, sends them at the
// size alone.
constexpr Resolution resolutions[] = {
    {"480i", 720, 480, true},   {"480p", 720, 480, false}, {"576i", 720, 576, true},
    {"576p", 720, 576, false},  {"720i", 1280, 720, true}, {"720p", 1280, 720, false},
    {"1080i", 1920, 1080, true}};
constexpr int frameRates[] = {24, 25, 30, 50, 60};
// Mbit/s as a request names them, and the video's rate in kbit/s.
constexpr struct
{
    const char *name;
    int kbps;
} bitrates[] = {{"1.5", 1500}, {"3", 3000}, {"4.5", 4500}, {"6", 6000}};
// A request chooses between the first two; a box's own setting may choose any.
const QStringList videoCodecs{QStringLiteral("mpeg2"), QStringLiteral("h264"), QStringLiteral("hevc"),
                              QStringLiteral("none")};
constexpr int requestableVideoCodecs = 2;

// The picture is drawn at 1280 × 720 (where the README places the marker and the frame number)
// and then scaled to the stream's size.
constexpr int drawnWidth = 1280;
constexpr int drawnHeight = 720;
const char fontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char markerFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
// The frame number: 16 blocks of 48 × 48 pixels from (48, 48), block k white for bit k of the
// frame's index since the encoder started, and a 17th white when an even number of the others
// are, so that an all-black row reads as no number. Whole blocks on the encoder's 16-pixel grid
// come through MPEG-2 at 3 Mbit/s pure black and white.
constexpr int frameNumberBits = 16;
constexpr int frameNumberLeft = 48;
constexpr int frameNumberTop = 48;
constexpr int frameNumberBlockSize = 48;
// 2^33 ticks of the 90 kHz clock; a stream near the wrap starts this many seconds before it
// (its first stamps come some 1.4 s after the start, so it wraps about 3.5 s in).
constexpr double clockWrapSeconds = 8589934592.0 / 90000.0;
constexpr double secondsBeforeWrap = 5;
// Each programme map after the first moves the map and the streams to other PIDs.
constexpr int firstPmtPid = 0x1000;
constexpr int firstStreamPid = 0x100;
constexpr int pidStepPerMap = 0x20;
constexpr int tableVersions = 32;

// The size a request's name stands for; nullptr for a name no box knows.
const Resolution *resolutionNamed(const QString &name)
{
    const auto found = std::find_if(std::begin(resolutions), std::end(resolutions),
                                    [&name](const Resolution &resolution) { return name == QLatin1String(resolution.name); });
    return found == std::end(resolutions) ? nullptr : found;
}

// The stream's size: the default one for a name no box knows.
const Resolution &resolutionOf(const Stream &stream)
{
    const Resolution *size = resolutionNamed(stream.resolution);
    return size ? *size : *resolutionNamed(Stream().resolution);
}

// drawbox filters switched on per frame by its index n, on a black row.
QString frameNumberFilter()
{
    const auto block = [](int index, const QString &when) {
        return QStringLiteral("drawbox=x=%1:y=%2:w=%3:h=%3:color=white:t=fill:enable='%4'")
            .arg(frameNumberLeft + index * frameNumberBlockSize)
            .arg(frameNumberTop)
            .arg(frameNumberBlockSize)
            .arg(when);
    };
    QStringList filters{QStringLiteral("drawbox=x=%1:y=%2:w=%3:h=%4:color=black:t=fill")
                            .arg(frameNumberLeft)
                            .arg(frameNumberTop)
                            .arg((frameNumberBits + 1) * frameNumberBlockSize)
                            .arg(frameNumberBlockSize)};
    QStringList bits;
    for (int bit = 0; bit < frameNumberBits; ++bit) {
        bits << QStringLiteral("mod(floor(n/%1),2)").arg(1 << bit);
        filters << block(bit, bits.last());
    }
    filters << block(frameNumberBits, QStringLiteral("eq(mod(%1,2),0)").arg(bits.join(QLatin1Char('+'))));
    return filters.join(QLatin1Char(','));
}

// The box's name, clock and last key bottom left, the key marker top right, the frame number
// top left, then the stream's size and field order.
QString pictureFilters(const Stream &stream)
{
    QString drawtext = QStringLiteral("drawtext=textfile=%1:reload=1:fontsize=44:fontcolor=white:"
                                      "box=1:boxcolor=black@0.6:boxborderw=14:x=40:y=h-text_h-60:line_spacing=12")
                           .arg(QLatin1String(overlayFileName));
    if (QFile::exists(QLatin1String(fontFile)))
        drawtext += QStringLiteral(":fontfile=") + QLatin1String(fontFile);
    const QString marker = QStringLiteral("drawtext=textfile=%1:reload=1:fontfile=%2:fontsize=96:fontcolor=white:"
                                          "box=1:boxcolor=black:boxborderw=0:x=1000:y=40")
                               .arg(QLatin1String(markerFileName), QLatin1String(markerFontFile));
    QStringList filters{drawtext, marker};
    if (stream.frameNumber)
        filters << frameNumberFilter();
    const Resolution &size = resolutionOf(stream);
    if (size.width != drawnWidth || size.height != drawnHeight)
        filters << QStringLiteral("scale=%1:%2").arg(size.width).arg(size.height);
    if (size.interlaced)
        filters << QStringLiteral("setfield=tff");
    filters << QStringLiteral("format=yuv420p");
    return filters.join(QLatin1Char(','));
}

QStringList rateControl(const Stream &stream)
{
    const QString rate = QStringLiteral("%1k").arg(stream.videoKbps);
    return {QStringLiteral("-b:v"), rate, QStringLiteral("-maxrate"), rate, QStringLiteral("-bufsize"),
            QStringLiteral("%1k").arg(stream.videoKbps / 2)};
}

// MPEG-2 as the boxes have always sent it; H.264 and HEVC as a live hardware encoder sends
// them: no pictures held back, a picture that decodes alone every GOP and never on a scene
// change, closed GOPs, the parameter sets repeated before each of those pictures.
QStringList videoEncoder(const Stream &stream)
{
    const QString gop = QString::number(std::max(1, int(std::lround(stream.gopSeconds * stream.fps))));
    const bool interlaced = resolutionOf(stream).interlaced;
    QStringList arguments;
    if (stream.videoCodec == QLatin1String("h264")) {
        arguments = {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                     QStringLiteral("veryfast"), QStringLiteral("-tune"), QStringLiteral("zerolatency"),
                     QStringLiteral("-g"), gop, QStringLiteral("-keyint_min"), gop,
                     QStringLiteral("-sc_threshold"), QStringLiteral("0"),
                     QStringLiteral("-x264-params"), QStringLiteral("open-gop=0:repeat-headers=1")};
        if (stream.intraRefresh)
            arguments << QStringLiteral("-intra-refresh") << QStringLiteral("1");
        if (interlaced)
            arguments << QStringLiteral("-flags") << QStringLiteral("+ildct");
    } else if (stream.videoCodec == QLatin1String("hevc")) {
        arguments = {QStringLiteral("-c:v"), QStringLiteral("libx265"), QStringLiteral("-preset"),
                     QStringLiteral("ultrafast"), QStringLiteral("-tune"), QStringLiteral("zerolatency"),
                     QStringLiteral("-g"), gop, QStringLiteral("-keyint_min"), gop,
                     QStringLiteral("-x265-params"),
                     QStringLiteral("log-level=error:scenecut=0:open-gop=0:repeat-headers=1")};
    } else {
        arguments = {QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-g"), gop};
        if (interlaced)
            arguments << QStringLiteral("-flags") << QStringLiteral("+ildct+ilme");
    }
    return arguments + rateControl(stream);
}

QStringList muxer(const Stream &stream)
{
    QStringList arguments{QStringLiteral("-mpegts_pmt_start_pid"),
                          QString::number(firstPmtPid + stream.programmeMap * pidStepPerMap),
                          QStringLiteral("-mpegts_start_pid"),
                          QString::number(firstStreamPid + stream.programmeMap * pidStepPerMap),
                          QStringLiteral("-tables_version"), QString::number(stream.programmeMap % tableVersions)};
    if (stream.clockNearWrap)
        arguments << QStringLiteral("-output_ts_offset")
                  << QString::number(clockWrapSeconds - secondsBeforeWrap, 'f', 6);
    return arguments << QStringLiteral("-f") << QStringLiteral("mpegts") << QStringLiteral("pipe:1");
}

// `sourceOptions` go before each source (a read rate).
QStringList arguments(const Stream &stream, const QStringList &sourceOptions, const QStringList &lengthOptions)
{
    const bool video = stream.videoCodec != QLatin1String("none");
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                          QStringLiteral("-nostdin")};
    if (video)
        arguments << sourceOptions << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("testsrc2=size=%1x%2:rate=%3").arg(drawnWidth).arg(drawnHeight).arg(stream.fps);
    arguments << sourceOptions << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
              << QStringLiteral("sine=frequency=440:sample_rate=48000");
    if (video)
        arguments << QStringLiteral("-vf") << pictureFilters(stream) << videoEncoder(stream);
    arguments << QStringLiteral("-af") << QStringLiteral("volume=0.1") << QStringLiteral("-c:a") << QStringLiteral("aac")
              << QStringLiteral("-b:a") << QStringLiteral("128k") << QStringLiteral("-ac") << QStringLiteral("2");
    return arguments + lengthOptions + muxer(stream);
}

} // namespace

bool Stream::operator==(const Stream &other) const
{
    return videoCodec == other.videoCodec && resolution == other.resolution && fps == other.fps
           && videoKbps == other.videoKbps && gopSeconds == other.gopSeconds && intraRefresh == other.intraRefresh
           && clockNearWrap == other.clockNearWrap && programmeMap == other.programmeMap
           && frameNumber == other.frameNumber;
}

QStringList videoCodecNames()
{
    return videoCodecs;
}

Stream requested(Stream box, const Request &request, const QString &forcedVideoCodec)
{
    if (videoCodecs.mid(0, requestableVideoCodecs).contains(request.vcodec))
        box.videoCodec = request.vcodec;
    if (videoCodecs.contains(forcedVideoCodec))
        box.videoCodec = forcedVideoCodec;
    if (resolutionNamed(request.res))
        box.resolution = request.res;
    const int fps = request.fps.toInt();
    if (std::find(std::begin(frameRates), std::end(frameRates), fps) != std::end(frameRates))
        box.fps = fps;
    for (const auto &bitrate : bitrates) {
        if (request.bitrate == QLatin1String(bitrate.name))
            box.videoKbps = bitrate.kbps;
    }
    return box;
}

QStringList live(const Stream &stream, double readRate)
{
    return arguments(stream, {QStringLiteral("-readrate"), QString::number(readRate, 'f', 6)}, {});
}

QStringList sample(const Stream &stream, double seconds)
{
    return arguments(stream, {}, {QStringLiteral("-t"), QString::number(seconds)});
}

} // namespace EncoderArguments
