#pragma once

#include <QString>
#include <QStringList>

// The streams a box sends and the ffmpeg command line that makes each of them. The simulator
// runs it live for its viewers; the tests encode short samples of the same streams with it, so
// that both always send what a box sends. Only Qt Core: the file shares nothing with the client.
namespace EncoderArguments {

// The picture's text and key marker come from these files in ffmpeg's working folder, reread
// for every frame.
inline constexpr char overlayFileName[] = "overlay.txt";
inline constexpr char markerFileName[] = "marker.txt";

// What one encoder makes.
struct Stream
{
    // "mpeg2", "h264", "hevc" or "none" (sound only: the programme has no video at all).
    QString videoCodec = QStringLiteral("mpeg2");
    QString resolution = QStringLiteral("720p"); // "480i" … "1080i", see tools/boxsim/README.md
    int fps = 30;
    int videoKbps = 3000;
    // Seconds between pictures that decode alone.
    double gopSeconds = 0.5;
    // H.264 only: one IDR picture at the start, then a column of intra blocks that sweeps the
    // picture once a GOP (x264's periodic intra refresh) instead of further IDR pictures.
    bool intraRefresh = false;
    // The stream's clock starts a few seconds before its 33-bit wrap.
    bool clockNearWrap = false;
    // 0 for the first programme map; each later one has other PIDs and the next table version.
    int programmeMap = 0;
    // Every picture shows its number as a row of blocks (tools/boxsim/README.md).
    bool frameNumber = false;

    bool operator==(const Stream &other) const;
};

// The items of a stream request that choose the stream ("/?src=1&vcodec=h264&res=1080i&fps=25&bitrate=6").
struct Request
{
    QString vcodec;
    QString res;
    QString fps;
    QString bitrate; // Mbit/s
};

// Every video a box may send ("none" for none).
QStringList videoCodecNames();
// The stream a box with the defaults `box` sends for `request`: every value the box does not
// know (or that is missing) leaves the box's own. A `forcedVideoCodec` ("hevc", "none") wins
// over the request's, as on a box that sends only that.
Stream requested(Stream box, const Request &request, const QString &forcedVideoCodec = {});

// Endless, its sources read at `readRate` times the real time (1: as a live source), to stdout.
QStringList live(const Stream &stream, double readRate);
// `seconds` long, encoded as fast as the machine can, to stdout.
QStringList sample(const Stream &stream, double seconds);

} // namespace EncoderArguments
