#ifndef TAVO_TUNER_REMUXER_H
#define TAVO_TUNER_REMUXER_H

#include <QByteArray>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>

// Repackages a box's H.264 transport stream (and its AAC sound), without decoding it, into
// fragmented MP4 for a browser's Media Source Extensions: an init segment (ftyp, moov), then
// one fragment (moof, mdat) per picture or sound frame, so that a browser is a picture behind the box and no GOP. FFmpeg's
// demuxer and muxer block on their input, so they run in a thread of their own; the transport
// packets come in by add(), what is made goes out by signals.
class TAVO_tuner_remuxer : public QThread
{
    Q_OBJECT

public:
    // What waits for the thread beyond this is dropped (it is behind the box by seconds).
    static constexpr qsizetype inputLimitBytes = 8 * 1024 * 1024;
    // What the demuxer may read to find the streams: a few seconds of a box's stream.
    static constexpr int probeBytes = 2 * 1024 * 1024;

    using QThread::QThread;
    ~TAVO_tuner_remuxer() override;

    void add(const QByteArray &packets);
    // Ends the thread; nothing is emitted afterwards.
    void stop();

    // The MSE type of an H.264 stream of that SPS ("video/mp4; codecs=\"avc1.64001F\""), from its
    // extradata in Annex B form; empty when it holds no SPS. The sound's codec is added to it.
    static QByteArray mimeTypeOf(const QByteArray &annexB);

Q_SIGNALS:
    void initialized(const QByteArray &init, const QByteArray &mimeType);
    // `startsWithKey`: a browser may begin with this fragment.
    void fragment(const QByteArray &bytes, bool startsWithKey);
    void failed(const QString &reason);

protected:
    void run() override;

private:
    static int readInput(void *opaque, uint8_t *buffer, int size);
    static int writeOutput(void *opaque, uint8_t *buffer, int size);
    static int interrupted(void *opaque);
    QString remux();
    QByteArray takeOutput();

    QMutex mutex;
    QWaitCondition arrived;
    QByteArray input;
    std::atomic_bool stopping = false;
    QByteArray output;  // what the muxer wrote since the last fragment was emitted
};

#endif
