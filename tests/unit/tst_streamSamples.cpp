// The stream samples that tests of stream readers use: each is the stream it says it is, read
// from its packets and by ffprobe, and it is encoded only once.
#include "TAVO_test_streamSamples.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>

using namespace TAVO_test_streamSamples;

namespace {

QStringList describedMaps(const QByteArray &stream)
{
    QStringList described;
    for (const ProgrammeMap &map : programmeMaps(stream))
        described << describe(map);
    return described;
}

// Whether a clock reference comes out far below the one before it (a restarted encoder's
// clock starts again, but never near 0 while the old one was far from the wrap).
bool clockWraps(const QByteArray &stream)
{
    const QList<qint64> clock = clockReferences(stream);
    constexpr qint64 wrap = qint64(1) << 33;
    for (qsizetype i = 1; i < clock.size(); ++i) {
        if (clock.at(i - 1) > wrap - 90000 * 10 && clock.at(i) < 90000 * 10)
            return true;
    }
    return false;
}

// The pictures that decode alone by themselves as ffprobe reads them (I pictures).
int intraPictures(const QByteArray &stream)
{
    QTemporaryFile file;
    if (!file.open() || file.write(stream) != stream.size() || !file.flush())
        return -1;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                            QStringLiteral("v"), QStringLiteral("-show_entries"),
                                            QStringLiteral("frame=pict_type"), QStringLiteral("-of"),
                                            QStringLiteral("csv=p=0"), file.fileName()});
    if (!probe.waitForFinished(60000))
        return -1;
    const QList<QByteArray> pictures = probe.readAllStandardOutput().split('\n');
    // A picture with side data has more fields after its type.
    return int(std::count_if(pictures.cbegin(), pictures.cend(),
                             [](const QByteArray &picture) { return picture.startsWith('I'); }));
}

} // namespace

class tst_streamSamples : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sampleIsItsShape_data();
    void sampleIsItsShape();
    void sampleIsEncodedOnce();
};

void tst_streamSamples::sampleIsItsShape_data()
{
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QStringList>("maps");
    QTest::addColumn<int>("intra");
    QTest::addColumn<bool>("wraps");
    QTest::addColumn<QList<int>>("runs"); // pictures numbered from 0 by each run of the encoder

    const QStringList mpeg2{QStringLiteral("0x1000 v0: 02 0f")};
    QTest::newRow("mpeg2") << Shape::Mpeg2 << mpeg2 << 6 << false << QList<int>{90};
    QTest::newRow("h264 long gop") << Shape::H264LongGop << QStringList{"0x1000 v0: 1b 0f"} << 3 << false << QList<int>{270};
    QTest::newRow("hevc") << Shape::Hevc << QStringList{"0x1000 v0: 24 0f"} << 6 << false << QList<int>{90};
    QTest::newRow("sound only") << Shape::SoundOnly << QStringList{"0x1000 v0: 0f"} << 0 << false << QList<int>();
    // ffmpeg keeps to the streams it found first: the second run's pictures, on other PIDs, are not read.
    QTest::newRow("programme change") << Shape::ProgrammeChange << mpeg2 + QStringList{"0x1020 v1: 02 0f"} << 8
                                      << false << QList<int>{60};
    QTest::newRow("clock near wrap") << Shape::ClockNearWrap << mpeg2 << 12 << true << QList<int>{180};
    QTest::newRow("h264 intra refresh") << Shape::H264IntraRefresh << QStringList{"0x1000 v0: 1b 0f"} << 1 << false << QList<int>{120};
}

void tst_streamSamples::sampleIsItsShape()
{
    QFETCH(Shape, shape);
    QFETCH(QStringList, maps);
    QFETCH(int, intra);
    QFETCH(bool, wraps);
    QFETCH(QList<int>, runs);

    const QByteArray stream = bytes(shape);
    QVERIFY(!stream.isEmpty());
    QCOMPARE(describedMaps(stream), maps);
    QCOMPARE(intraPictures(stream), intra);
    QCOMPARE(clockWraps(stream), wraps);
    QList<int> numbered;
    for (int pictures : runs) {
        for (int number = 0; number < pictures; ++number)
            numbered << number;
    }
    QCOMPARE(frameNumbers(stream), numbered);
}

void tst_streamSamples::sampleIsEncodedOnce()
{
    const QByteArray first = bytes(Shape::SoundOnly);
    const QFileInfo encoded(filePath(Shape::SoundOnly));
    QVERIFY(encoded.exists());
    const QDateTime encodedAt = encoded.lastModified();
    QCOMPARE(bytes(Shape::SoundOnly), first);
    QCOMPARE(QFileInfo(filePath(Shape::SoundOnly)).lastModified(), encodedAt);
    QVERIFY(filePath(Shape::Mpeg2) != filePath(Shape::ProgrammeChange));
}

QTEST_GUILESS_MAIN(tst_streamSamples)
#include "tst_streamSamples.moc"
