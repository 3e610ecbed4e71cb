#include "TAVO_tuner_remuxer.h"

#include <QMutexLocker>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstring>
#include <memory>

namespace {

constexpr int ioBufferBytes = 64 * 1024;
// What the demuxer reads of a stream's start to know its tracks, in time.
constexpr int64_t analyzeMicroseconds = 3 * AV_TIME_BASE;

struct InputClose
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct OutputFree
{
    void operator()(AVFormatContext *context) const { avformat_free_context(context); }
};
struct IoFree
{
    void operator()(AVIOContext *io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct PacketFree
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

} // namespace

TAVO_tuner_remuxer::~TAVO_tuner_remuxer()
{
    stop();
    wait();
}

void TAVO_tuner_remuxer::add(const QByteArray &packets)
{
    QMutexLocker locker(&mutex);
    if (input.size() + packets.size() > inputLimitBytes)
        input.clear();
    input += packets;
    arrived.wakeAll();
}

void TAVO_tuner_remuxer::stop()
{
    QMutexLocker locker(&mutex);
    stopping = true;
    arrived.wakeAll();
}

int TAVO_tuner_remuxer::readInput(void *opaque, uint8_t *buffer, int size)
{
    auto *self = static_cast<TAVO_tuner_remuxer *>(opaque);
    QMutexLocker locker(&self->mutex);
    while (self->input.isEmpty() && !self->stopping)
        self->arrived.wait(&self->mutex);
    if (self->stopping)
        return AVERROR_EOF;
    const int taken = int(std::min<qsizetype>(size, self->input.size()));
    std::memcpy(buffer, self->input.constData(), size_t(taken));
    self->input.remove(0, taken);
    return taken;
}

int TAVO_tuner_remuxer::writeOutput(void *opaque, uint8_t *buffer, int size)
{
    static_cast<TAVO_tuner_remuxer *>(opaque)->output.append(reinterpret_cast<const char *>(buffer), size);
    return size;
}

int TAVO_tuner_remuxer::interrupted(void *opaque)
{
    return static_cast<TAVO_tuner_remuxer *>(opaque)->stopping ? 1 : 0;
}

QByteArray TAVO_tuner_remuxer::takeOutput()
{
    QByteArray taken;
    taken.swap(output);
    return taken;
}

QByteArray TAVO_tuner_remuxer::mimeTypeOf(const QByteArray &annexB)
{
    // An SPS NAL unit (type 7) after a start code: its profile, constraints and level.
    for (qsizetype at = annexB.indexOf(QByteArray("\0\0\1", 3)); at >= 0; at = annexB.indexOf(QByteArray("\0\0\1", 3), at + 3)) {
        if (at + 6 < annexB.size() && (annexB[at + 3] & 0x1f) == 7)
            return "video/mp4; codecs=\"avc1." + annexB.mid(at + 4, 3).toHex().toUpper() + '"';
    }
    return QByteArray();
}

void TAVO_tuner_remuxer::run()
{
    const QString reason = remux();
    if (!reason.isEmpty() && !stopping)
        Q_EMIT failed(reason);
}

// The reason the picture cannot be made, or an empty text once stopped.
QString TAVO_tuner_remuxer::remux()
{
    std::unique_ptr<AVIOContext, IoFree> inputIo(
        avio_alloc_context(static_cast<unsigned char *>(av_malloc(ioBufferBytes)), ioBufferBytes, 0, this, &readInput, nullptr, nullptr));
    AVFormatContext *opening = avformat_alloc_context();
    opening->pb = inputIo.get();
    opening->flags |= AVFMT_FLAG_CUSTOM_IO;
    opening->interrupt_callback = {&interrupted, this};
    opening->probesize = probeBytes;
    opening->max_analyze_duration = analyzeMicroseconds;
    if (const int error = avformat_open_input(&opening, nullptr, av_find_input_format("mpegts"), nullptr); error < 0)
        return QStringLiteral("the box's stream cannot be read: %1").arg(errorText(error));
    std::unique_ptr<AVFormatContext, InputClose> in(opening);
    if (const int error = avformat_find_stream_info(in.get(), nullptr); error < 0)
        return QStringLiteral("the box's stream cannot be read: %1").arg(errorText(error));
    const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return QStringLiteral("the box's stream has no picture");
    const AVStream *source = in->streams[video];
    if (source->codecpar->codec_id != AV_CODEC_ID_H264)
        return QStringLiteral("the box sends %1 pictures, which browsers do not play: set its stream to H.264 "
                              "(the window's Stream settings, or tavo-tuner --video-codec h264)")
            .arg(QString::fromLatin1(avcodec_get_name(source->codecpar->codec_id)).toUpper());
    const QByteArray mimeType = mimeTypeOf(QByteArray(reinterpret_cast<const char *>(source->codecpar->extradata),
                                                      source->codecpar->extradata_size));
    if (mimeType.isEmpty())
        return QStringLiteral("the box's H.264 stream names no sequence parameters");

    AVFormatContext *making = nullptr;
    if (avformat_alloc_output_context2(&making, nullptr, "mp4", nullptr) < 0)
        return QStringLiteral("FFmpeg has no MP4 muxer");
    std::unique_ptr<AVFormatContext, OutputFree> out(making);
    std::unique_ptr<AVIOContext, IoFree> outputIo(
        avio_alloc_context(static_cast<unsigned char *>(av_malloc(ioBufferBytes)), ioBufferBytes, 1, this, nullptr, &writeOutput, nullptr));
    out->pb = outputIo.get();
    out->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVStream *target = avformat_new_stream(out.get(), nullptr);
    avcodec_parameters_copy(target->codecpar, source->codecpar);
    target->codecpar->codec_tag = 0;
    target->time_base = source->time_base;
    // One fragment per picture, each starting at its own time, as Media Source Extensions take it.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "movflags", "frag_custom+empty_moov+default_base_moof", 0);
    const int headerError = avformat_write_header(out.get(), &options);
    av_dict_free(&options);
    if (headerError < 0)
        return QStringLiteral("the picture cannot be repackaged: %1").arg(errorText(headerError));
    avio_flush(out->pb);
    Q_EMIT initialized(takeOutput(), mimeType);

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    int64_t firstDts = AV_NOPTS_VALUE;
    while (!stopping) {
        if (const int error = av_read_frame(in.get(), packet.get()); error < 0)
            return stopping ? QString() : QStringLiteral("the box's stream ended: %1").arg(errorText(error));
        const bool key = packet->flags & AV_PKT_FLAG_KEY;
        // Browsers begin at a picture that decodes alone; the first one is the picture's time 0.
        if (packet->stream_index != video || packet->dts == AV_NOPTS_VALUE || packet->pts == AV_NOPTS_VALUE
            || (firstDts == AV_NOPTS_VALUE && !key)) {
            av_packet_unref(packet.get());
            continue;
        }
        if (firstDts == AV_NOPTS_VALUE)
            firstDts = packet->dts;
        packet->dts -= firstDts;
        packet->pts -= firstDts;
        av_packet_rescale_ts(packet.get(), source->time_base, target->time_base);
        packet->stream_index = 0;
        packet->pos = -1;
        const int error = av_write_frame(out.get(), packet.get());
        av_packet_unref(packet.get());
        if (error < 0)
            return QStringLiteral("the picture cannot be repackaged: %1").arg(errorText(error));
        av_write_frame(out.get(), nullptr);
        avio_flush(out->pb);
        Q_EMIT fragment(takeOutput(), key);
    }
    return QString();
}
