#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// Short samples of the streams a box sends, made by the box simulator's own encoder command
// lines (tools/boxsim/src/encoderArguments.h) with Debian's ffmpeg: for tests of stream readers
// that need what real encoders write, without running a box. Each sample is encoded once, as
// fast as the machine can, into the build folder's test-streams/ (a file named by a hash of the
// command lines, so a changed argument encodes it anew; written whole and renamed into place,
// so tests running side by side never read half of one), and read from there afterwards.
//
//     for (Shape shape : TAVO_test_streamSamples::shapes())
//         QTest::newRow(qPrintable(TAVO_test_streamSamples::name(shape))) << shape;
//     ... const QByteArray stream = TAVO_test_streamSamples::bytes(shape);
namespace TAVO_test_streamSamples {

enum class Shape {
    Mpeg2,            // the boxes' usual stream: MPEG-2 1280 × 720 30 fps, a GOP of 0.5 s, AAC (3 s)
    H264LongGop,      // H.264 with a picture that decodes alone every 4 s, as HDMI encoders send (9 s)
    Hevc,             // HEVC (3 s)
    SoundOnly,        // AAC and no video track at all, as a radio channel (3 s)
    ProgrammeChange,  // MPEG-2; after 2 s the encoder starts again with another programme map:
                      // other PIDs, table version 1 (4 s)
    ClockNearWrap,    // MPEG-2 whose clock (PCR, PTS) passes its 33-bit wrap about 3.5 s in (6 s)
    H264IntraRefresh, // H.264 with one IDR picture, then periodic intra refresh every second (4 s)
};

// Every shape, for the rows of a _data() table.
QList<Shape> shapes();
// A name for a row: "mpeg2", "h264 long gop", ...
QString name(Shape shape);
// The sample as an MPEG transport stream, encoded on its first use. Empty when ffmpeg could
// not make it (a warning says why).
QByteArray bytes(Shape shape);
// Where bytes() keeps it.
QString filePath(Shape shape);

// What a transport stream carries, read from its packets (188 bytes each, the first at 0).
struct ProgrammeMap
{
    int pid = 0;
    int version = 0;
    QList<int> streamTypes; // 0x02 MPEG-2 video, 0x1b H.264, 0x24 HEVC, 0x0f AAC, ...
    bool operator==(const ProgrammeMap &other) const
    {
        return pid == other.pid && version == other.version && streamTypes == other.streamTypes;
    }
};
// "0x1000 v0: 02 0f": the map's PID, version and stream types, for comparisons in tests.
QString describe(const ProgrammeMap &map);
// Every programme map the stream announces, in the order each first comes.
QList<ProgrammeMap> programmeMaps(const QByteArray &stream);
// The frame number of every picture of the stream (tools/boxsim/README.md, "streamFrameNumber"),
// each decoded picture once, in order; -1 for a picture without a readable one. Any size.
QList<int> frameNumbers(const QByteArray &stream);
// The clock references (PCR) in 90 kHz ticks, as sent (33 bits, so they wrap), in order.
QList<qint64> clockReferences(const QByteArray &stream);

} // namespace TAVO_test_streamSamples

Q_DECLARE_METATYPE(TAVO_test_streamSamples::Shape)
