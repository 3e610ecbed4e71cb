#include "TAVO_tuner_remuxer.h"

#include <QMutexLocker>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include <cstring>
#include <iterator>
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

// The AudioSpecificConfig of an AAC track (ISO 14496-3), which MP4 wants before the first
// packet and an ADTS stream carries only in each packet's header; empty for a rate of no index.
QByteArray audioSpecificConfig(const AVCodecParameters *audio)
{
    static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
    const int objectType = audio->profile >= 0 ? audio->profile + 1 : 2;  // AAC LC unless told
    const int channels = audio->ch_layout.nb_channels;
    for (int index = 0; index < int(std::size(rates)); ++index) {
        if (rates[index] != audio->sample_rate || channels < 1 || channels > 7)
            continue;
        const int bits = (objectType << 11) | (index << 7) | (channels << 3);
        const char config[] = {char(bits >> 8), char(bits & 0xff)};
        return QByteArray(config, sizeof config);
    }
    return QByteArray();
}

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
    QByteArray mimeType = mimeTypeOf(QByteArray(reinterpret_cast<const char *>(source->codecpar->extradata),
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
    // The sound, when it is AAC (as the box sends it): copied as it comes.
    const int audio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    const AVStream *heard = audio >= 0 && in->streams[audio]->codecpar->codec_id == AV_CODEC_ID_AAC ? in->streams[audio] : nullptr;
    const QByteArray config = heard ? audioSpecificConfig(heard->codecpar) : QByteArray();
    AVStream *sound = nullptr;
    if (!config.isEmpty()) {
        sound = avformat_new_stream(out.get(), nullptr);
        avcodec_parameters_copy(sound->codecpar, heard->codecpar);
        sound->codecpar->codec_tag = 0;
        sound->codecpar->extradata = static_cast<uint8_t *>(av_mallocz(size_t(config.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
        std::memcpy(sound->codecpar->extradata, config.constData(), size_t(config.size()));
        sound->codecpar->extradata_size = int(config.size());
        sound->time_base = heard->time_base;
        mimeType.chop(1);
        mimeType += ",mp4a.40." + QByteArray::number((uint8_t(config[0]) >> 3)) + '"';
    }
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
        const bool isVideo = packet->stream_index == video;
        const bool key = isVideo && (packet->flags & AV_PKT_FLAG_KEY);
        const AVStream *from = isVideo ? source : heard;
        // Browsers begin at a picture that decodes alone; the first one is the picture's time 0,
        // and sound from before it is left out.
        if ((!isVideo && (!sound || packet->stream_index != audio || firstDts == AV_NOPTS_VALUE))
            || packet->dts == AV_NOPTS_VALUE || packet->pts == AV_NOPTS_VALUE || (firstDts == AV_NOPTS_VALUE && !key)) {
            av_packet_unref(packet.get());
            continue;
        }
        if (firstDts == AV_NOPTS_VALUE)
            firstDts = packet->dts;
        const int64_t start = av_rescale_q(firstDts, source->time_base, from->time_base);
        if (packet->dts < start) {
            av_packet_unref(packet.get());
            continue;
        }
        packet->dts -= start;
        packet->pts -= start;
        // MP4 carries raw AAC frames: each packet's ADTS header goes (7 bytes, 9 with its CRC).
        if (!isVideo && packet->size > 9 && (AV_RB16(packet->data) & 0xfff6) == 0xfff0) {
            const int header = (packet->data[1] & 1) ? 7 : 9;
            packet->data += header;
            packet->size -= header;
        }
        AVStream *to = isVideo ? target : sound;
        av_packet_rescale_ts(packet.get(), from->time_base, to->time_base);
        packet->stream_index = to->index;
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
