#include "TAVO_test_streamSamples.h"

#include "TAVO_test_screenVideo.h"
#include "encoderArguments.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStreamSamples, "tavo.test.streamSamples", QtWarningMsg)

namespace TAVO_test_streamSamples {
namespace {

using EncoderArguments::Stream;

// One run of the encoder; a sample is its parts one after the other, as on one connection.
struct Part
{
    Stream stream;
    double seconds;
};

struct Sample
{
    Shape shape;
    const char *name;
    QList<Part> parts;
};

Stream withFrameNumbers(Stream stream)
{
    stream.frameNumber = true;
    return stream;
}

Stream h264(double gopSeconds, bool intraRefresh = false)
{
    Stream stream = withFrameNumbers({});
    stream.videoCodec = QStringLiteral("h264");
    stream.gopSeconds = gopSeconds;
    stream.intraRefresh = intraRefresh;
    return stream;
}

Stream withVideo(const QString &codec)
{
    Stream stream = withFrameNumbers({});
    stream.videoCodec = codec;
    return stream;
}

Stream withProgrammeMap(int map)
{
    Stream stream = withFrameNumbers({});
    stream.programmeMap = map;
    return stream;
}

Stream nearTheWrap()
{
    Stream stream = withFrameNumbers({});
    stream.clockNearWrap = true;
    return stream;
}

// What the overlay shows; the clock line of the live picture would make every encode differ.
const QByteArray overlayText = "Sample\nLast key: none";
const QByteArray markerText = "\u2588   ";
// An encode takes a few seconds of CPU; on a machine busy with other tests, some more.
constexpr int encodeTimeoutMs = 180000;

const QList<Sample> &samples()
{
    static const QList<Sample> all{
        {Shape::Mpeg2, "mpeg2", {{withFrameNumbers({}), 3}}},
        {Shape::H264LongGop, "h264 long gop", {{h264(4), 9}}},
        {Shape::Hevc, "hevc", {{withVideo(QStringLiteral("hevc")), 3}}},
        {Shape::SoundOnly, "sound only", {{withVideo(QStringLiteral("none")), 3}}},
        {Shape::ProgrammeChange, "programme change", {{withProgrammeMap(0), 2}, {withProgrammeMap(1), 2}}},
        {Shape::ClockNearWrap, "clock near wrap", {{nearTheWrap(), 6}}},
        {Shape::H264IntraRefresh, "h264 intra refresh", {{h264(1, true), 4}}},
    };
    return all;
}

const Sample &sampleOf(Shape shape)
{
    for (const Sample &sample : samples()) {
        if (sample.shape == shape)
            return sample;
    }
    return samples().first();
}

QStringList argumentsOf(const Part &part)
{
    return EncoderArguments::sample(part.stream, part.seconds);
}

QByteArray hashOf(const Sample &sample)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(overlayText);
    hash.addData(markerText);
    for (const Part &part : sample.parts)
        hash.addData(argumentsOf(part).join(QLatin1Char('\n')).toUtf8() + '\0');
    return hash.result().toHex().left(24);
}

QByteArray encode(const Part &part, const QTemporaryDir &folder)
{
    QProcess ffmpeg;
    ffmpeg.setWorkingDirectory(folder.path());
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"), argumentsOf(part));
    if (!ffmpeg.waitForFinished(encodeTimeoutMs)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished();
        qCWarning(lcStreamSamples) << "ffmpeg did not finish a sample:" << ffmpeg.errorString();
        return {};
    }
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qCWarning(lcStreamSamples) << "ffmpeg failed on a sample, exit code" << ffmpeg.exitCode();
        return {};
    }
    return ffmpeg.readAllStandardOutput();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray encode(const Sample &sample)
{
    QTemporaryDir folder;
    if (!writeFile(folder.filePath(QLatin1String(EncoderArguments::overlayFileName)), overlayText)
        || !writeFile(folder.filePath(QLatin1String(EncoderArguments::markerFileName)), markerText)) {
        qCWarning(lcStreamSamples) << "cannot write the picture's texts into" << folder.path();
        return {};
    }
    QByteArray stream;
    for (const Part &part : sample.parts) {
        const QByteArray encoded = encode(part, folder);
        if (encoded.isEmpty())
            return {};
        stream += encoded;
    }
    return stream;
}

constexpr int packetBytes = 188;

int pidOf(const char *packet)
{
    return (uchar(packet[1]) & 0x1f) << 8 | uchar(packet[2]);
}

// The payload of a packet that starts a section, from the table id on; empty otherwise.
QByteArray sectionOf(const QByteArray &stream, qsizetype offset)
{
    const char *packet = stream.constData() + offset;
    if (!(uchar(packet[1]) & 0x40) || !(uchar(packet[3]) & 0x10))
        return {};
    int start = 4;
    if (uchar(packet[3]) & 0x20)
        start += 1 + uchar(packet[4]);
    if (start >= packetBytes)
        return {};
    start += 1 + uchar(packet[start]); // the pointer field
    return start < packetBytes ? stream.mid(offset + start, packetBytes - start) : QByteArray();
}

// The section's length as its header says, within what the packet holds (without the CRC).
int sectionEnd(const QByteArray &section)
{
    const int length = (uchar(section[1]) & 0x0f) << 8 | uchar(section[2]);
    return std::min<int>(3 + length - 4, section.size());
}

QList<int> pmtPidsOf(const QByteArray &pat)
{
    QList<int> pids;
    for (int entry = 8; entry + 4 <= sectionEnd(pat); entry += 4) {
        const int programme = uchar(pat[entry]) << 8 | uchar(pat[entry + 1]);
        if (programme != 0)
            pids << ((uchar(pat[entry + 2]) & 0x1f) << 8 | uchar(pat[entry + 3]));
    }
    return pids;
}

ProgrammeMap programmeMapOf(int pid, const QByteArray &pmt)
{
    ProgrammeMap map;
    map.pid = pid;
    map.version = (uchar(pmt[5]) >> 1) & 0x1f;
    const int infoLength = (uchar(pmt[10]) & 0x0f) << 8 | uchar(pmt[11]);
    for (int entry = 12 + infoLength; entry + 5 <= sectionEnd(pmt);) {
        map.streamTypes << uchar(pmt[entry]);
        entry += 5 + ((uchar(pmt[entry + 3]) & 0x0f) << 8 | uchar(pmt[entry + 4]));
    }
    return map;
}

} // namespace

QList<Shape> shapes()
{
    QList<Shape> all;
    for (const Sample &sample : samples())
        all << sample.shape;
    return all;
}

QString name(Shape shape)
{
    return QLatin1String(sampleOf(shape).name);
}

QString filePath(Shape shape)
{
    return QDir(QStringLiteral(TAVO_TEST_STREAMS_DIR)).filePath(QString::fromLatin1(hashOf(sampleOf(shape))) + QStringLiteral(".ts"));
}

QByteArray bytes(Shape shape)
{
    QFile cached(filePath(shape));
    if (cached.open(QIODevice::ReadOnly))
        return cached.readAll();
    const QByteArray stream = encode(sampleOf(shape));
    QSaveFile file(cached.fileName());
    if (stream.isEmpty() || !QDir().mkpath(QStringLiteral(TAVO_TEST_STREAMS_DIR)) || !file.open(QIODevice::WriteOnly)
        || file.write(stream) != stream.size() || !file.commit())
        qCWarning(lcStreamSamples) << "cannot keep the sample" << name(shape) << "in" << cached.fileName();
    return stream;
}

QString describe(const ProgrammeMap &map)
{
    QStringList types;
    for (int type : map.streamTypes)
        types << QStringLiteral("%1").arg(type, 2, 16, QLatin1Char('0'));
    return QStringLiteral("0x%1 v%2: %3").arg(map.pid, 0, 16).arg(map.version).arg(types.join(QLatin1Char(' ')));
}

QList<ProgrammeMap> programmeMaps(const QByteArray &stream)
{
    QList<int> pmtPids;
    QList<ProgrammeMap> maps;
    for (qsizetype offset = 0; offset + packetBytes <= stream.size(); offset += packetBytes) {
        const int pid = pidOf(stream.constData() + offset);
        const QByteArray section = sectionOf(stream, offset);
        if (section.size() < 12)
            continue;
        if (pid == 0 && section.at(0) == 0x00) {
            for (int pmtPid : pmtPidsOf(section)) {
                if (!pmtPids.contains(pmtPid))
                    pmtPids << pmtPid;
            }
        } else if (pmtPids.contains(pid) && section.at(0) == 0x02) {
            const ProgrammeMap map = programmeMapOf(pid, section);
            if (!maps.contains(map))
                maps << map;
        }
    }
    return maps;
}

QList<int> frameNumbers(const QByteArray &stream)
{
    using namespace TAVO_test_screenVideo;
    QTemporaryFile file;
    if (!file.open() || file.write(stream) != stream.size() || !file.flush())
        return {};
    // The row of blocks, each averaged to one grey value, in the picture at the size it is drawn.
    const QString blocksRow = QStringLiteral("scale=1280:720,crop=%1:2:%2:%3,scale=%4:1:flags=area")
                                  .arg(frameNumberBlocks * frameNumberBlockSize)
                                  .arg(frameNumberLeft)
                                  .arg(frameNumberTop + frameNumberBlockSize / 2)
                                  .arg(frameNumberBlocks);
    QProcess decoder;
    // Every decoded picture once, as it came: no picture repeated or left out for a steady rate.
    decoder.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                             file.fileName(), QStringLiteral("-vf"), blocksRow,
                                             QStringLiteral("-fps_mode"), QStringLiteral("passthrough"),
                                             QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                                             QStringLiteral("gray"), QStringLiteral("pipe:1")});
    if (!decoder.waitForFinished(encodeTimeoutMs)) {
        decoder.kill();
        decoder.waitForFinished();
        qCWarning(lcStreamSamples) << "ffmpeg did not finish decoding the frame numbers";
        return {};
    }
    const QByteArray greys = decoder.readAllStandardOutput();
    QList<int> numbers;
    for (qsizetype frame = 0; frame + frameNumberBlocks <= greys.size(); frame += frameNumberBlocks)
        numbers << frameNumberOf(greys.mid(frame, frameNumberBlocks));
    return numbers;
}

QList<qint64> clockReferences(const QByteArray &stream)
{
    QList<qint64> references;
    for (qsizetype offset = 0; offset + packetBytes <= stream.size(); offset += packetBytes) {
        const auto *packet = reinterpret_cast<const uchar *>(stream.constData() + offset);
        const bool hasPcr = (packet[3] & 0x20) && packet[4] >= 7 && (packet[5] & 0x10);
        if (!hasPcr)
            continue;
        references << (qint64(packet[6]) << 25 | qint64(packet[7]) << 17 | qint64(packet[8]) << 9
                       | qint64(packet[9]) << 1 | packet[10] >> 7);
    }
    return references;
}

} // namespace TAVO_test_streamSamples
