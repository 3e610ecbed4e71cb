// The recording command against simulated boxes, as timers and TV servers run it: no display,
// its output read back by ffprobe and ffmpeg.
#include "TAVO_mgr_channelList.h"
#include "TAVO_test_boxSim.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString plainUuid = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01");
const QString encryptedUuid = QStringLiteral("7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e02");
constexpr int packetSize = 188;
// A safety net for a command that hangs, never a measure of how fast it is.
constexpr int hangMs = 120000;
// A box's answer that never comes while a test runs.
constexpr int neverMs = 600000;

QVariantMap plainBox(const QVariantMap &knobs = {})
{
    QVariantMap box{{"uuid", plainUuid}, {"address", "127.0.0.2"}, {"friendlyName", "Living Room"}};
    box.insert(knobs);
    return box;
}

QVariantMap encryptedBox(const QVariantMap &knobs = {})
{
    QVariantMap box{{"uuid", encryptedUuid}, {"address", "127.0.0.3"}, {"friendlyName", "Bedroom"},
                    {"encryption", "AES128"}};
    box.insert(knobs);
    return box;
}

QString recorderPath()
{
    return QStringLiteral(TAVO_BIN_DIR "/tavo-record");
}

// The command's own home and runtime folder: its pinned keys and locks are never the user's.
void prepare(QProcess &process, const QTemporaryDir &folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folder.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.path() + QLatin1String("/.local/share"));
    environment.insert(QStringLiteral("XDG_VIDEOS_DIR"), folder.path() + QLatin1String("/Videos"));
    process.setProcessEnvironment(environment);
}

struct Outcome
{
    int status = -1;
    QString errors;
};

Outcome finish(QProcess &process)
{
    if (!process.waitForFinished(hangMs))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

Outcome record(const QTemporaryDir &folder, const QStringList &arguments)
{
    QProcess process;
    prepare(process, folder);
    process.start(recorderPath(), arguments);
    return finish(process);
}

// Records the plain box into `path` until told otherwise.
void startRecording(QProcess &process, const QTemporaryDir &folder, const QString &path)
{
    prepare(process, folder);
    process.start(recorderPath(), {QStringLiteral("--box"), QStringLiteral("Living Room"), QStringLiteral("--output"), path});
}

// ffprobe reads the whole file (not only its start) and lists the kinds of its streams.
QString streamKinds(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_packets"),
                                            QStringLiteral("-show_entries"), QStringLiteral("stream=codec_type"),
                                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    probe.waitForFinished(hangMs);
    QStringList kinds = QString::fromUtf8(probe.readAllStandardOutput())
                            .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    kinds.removeDuplicates();
    kinds.sort();
    return kinds.join(QLatin1Char(','));
}

// What ffmpeg says, decoding every picture and sound of the file to its end.
QString decodingErrors(const QString &path)
{
    QProcess decoder;
    decoder.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    decoder.waitForFinished(hangMs);
    return QString::fromUtf8(decoder.readAllStandardError()) + (decoder.exitCode() ? QStringLiteral("exit status") : QString());
}

bool endsOnWholePacket(const QString &path)
{
    const qint64 size = QFileInfo(path).size();
    return size > 0 && size % packetSize == 0;
}

// Packets of the null PID in the file: the encoder sends none, so each is a packet the box cut
// short, joined by the recording to bytes of the next connection.
int nullPackets(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int count = 0;
    for (QByteArray packet = file.read(packetSize); packet.size() == packetSize; packet = file.read(packetSize))
        count += (packet.at(1) & 0x1f) == 0x1f && quint8(packet.at(2)) == 0xff;
    return count;
}

bool waitForSize(const QString &path, qint64 bytes)
{
    return QTest::qWaitFor([&] { return QFileInfo(path).size() >= bytes; }, hangMs);
}

// Waits until the command's file has that size, or the command has ended; true while it runs.
bool runsUntilSize(QProcess &process, const QString &path, qint64 bytes)
{
    return QTest::qWaitFor([&] { return QFileInfo(path).size() >= bytes || process.state() == QProcess::NotRunning; },
                           hangMs)
           && process.state() != QProcess::NotRunning;
}

} // namespace

class tst_record : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsBothStreamsForTheTimeAsked_data();
    void recordsBothStreamsForTheTimeAsked();
    void pipeSourceTunesAndDecodes();
    void exportedCommandTunesWithoutTheUsersList();
    void readerThatGoesAwayEndsItAtOnce();
    void terminationLeavesAPlayableFile_data();
    void terminationLeavesAPlayableFile();
    void stopWithAStalledReaderEndsIt();
    void stopBeforeTheStreamRecordsNothing();
    void droppedStreamContinuesTheFile();
    void fileSizeLimitEndsItWithItsReason();
    void endsWithTheStatusOfWhatWentWrong_data();
    void endsWithTheStatusOfWhatWentWrong();
    void secondRecordingOfTheBoxRefuses();
};

void tst_record::recordsBothStreamsForTheTimeAsked_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QVariantMap>("plainBoxKnobs");
    QTest::addColumn<QString>("kinds");
    QTest::newRow("plain, by name") << QStringLiteral("Living Room") << QVariantMap() << "audio,video";
    QTest::newRow("encrypted, by address") << QStringLiteral("127.0.0.3") << QVariantMap() << "audio,video";
    // A radio channel, and an HDMI encoder's H.264 with seconds between pictures that decode alone.
    QTest::newRow("sound alone") << QStringLiteral("Living Room") << QVariantMap{{"videoCodec", "none"}} << "audio";
    QTest::newRow("H.264, 4 s between key pictures")
        << QStringLiteral("Living Room") << QVariantMap{{"videoCodec", "h264"}, {"gopSeconds", 4}} << "audio,video";
    // As where multicast does not reach: the box speaks no SSDP at all.
    QTest::newRow("plain, by its description's URL") << QStringLiteral("http://127.0.0.2:49152/description.xml")
                                                      << QVariantMap{{"ssdp", "none"}} << "audio,video";
    QTest::newRow("plain, by host:port, answering no search") << QStringLiteral("127.0.0.2:49152")
                                                              << QVariantMap{{"ssdp", "none"}} << "audio,video";
    // Its first answer never comes: the search asks again.
    QTest::newRow("plain, by name, its description hanging once")
        << QStringLiteral("Living Room") << QVariantMap{{"descriptionDelayMs", neverMs}, {"descriptionFaultyAnswers", 1}}
        << "audio,video";
}

void tst_record::recordsBothStreamsForTheTimeAsked()
{
    QFETCH(QString, box);
    QFETCH(QVariantMap, plainBoxKnobs);
    QFETCH(QString, kinds);
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes({plainBox(plainBoxKnobs), encryptedBox()}));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("film.ts"));

    const Outcome outcome = record(folder, {QStringLiteral("--box"), box, QStringLiteral("--for"), QStringLiteral("10s"),
                                            QStringLiteral("--output"), path});

    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
    QVERIFY(endsOnWholePacket(path));
    QCOMPARE(streamKinds(path), kinds);
    QCOMPARE(decodingErrors(path), QString());
}

// As a TV server runs it: a channel of the box's list by its name, typed on the box's remote,
// the stream read by ffmpeg from the pipe.
void tst_record::pipeSourceTunesAndDecodes()
{
    const QVariantList controllers{QVariantMap{{"id", "3"}, {"name", "SetTopBox"}, {"supportKeys", "NUM_1,NUM_2"}}};
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox({{"controllers", controllers}})));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    QProcess pipeline;
    prepare(pipeline, folder);
    TAVO_mgr_channelList list;
    list.channels.append({QStringLiteral("Nature World"), QStringLiteral("21"), {}, {}, {}});
    // Tuning outlasts --for, which counts from the first byte of the stream.
    list.pauseMs = 5000;
    qputenv("XDG_DATA_HOME", pipeline.processEnvironment().value(QStringLiteral("XDG_DATA_HOME")).toLocal8Bit());
    const bool saved = list.save(plainUuid);
    qunsetenv("XDG_DATA_HOME");
    QVERIFY(saved);
    pipeline.start(QStringLiteral("bash"),
                   {QStringLiteral("-c"), QStringLiteral("set -o pipefail; \"$0\" --box 'Living Room' --channel 'nature world' --for 4s --output -"
                                                         " | ffprobe -v error -show_entries stream=codec_type -of csv=p=0 -i pipe:0"),
                    recorderPath()});
    const Outcome outcome = finish(pipeline);

    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
    const QString kinds = QString::fromUtf8(pipeline.readAllStandardOutput());
    QVERIFY2(kinds.contains(QStringLiteral("video")) && kinds.contains(QStringLiteral("audio")), qPrintable(kinds));
    const QStringList requests = sim.requests(plainUuid);
    const auto keyAt = [&](const QString &key) {
        return requests.indexOf(QRegularExpression(QStringLiteral(".*key=") + key + QStringLiteral(" .*")));
    };
    const qsizetype streamAt = requests.indexOf(QRegularExpression(QStringLiteral("^8080 GET .*")));
    QVERIFY2(keyAt(QStringLiteral("NUM_2")) >= 0 && keyAt(QStringLiteral("NUM_2")) < keyAt(QStringLiteral("NUM_1"))
                 && keyAt(QStringLiteral("NUM_1")) < streamAt,
             qPrintable(requests.join(QLatin1Char('\n'))));
}

// A TV server runs the exported commands as its own user, who keeps no channel list: the keys
// the entry carries tune the channel, its confirming key too. The bare number it had before
// tunes by its digits alone, and the command says so.
void tst_record::exportedCommandTunesWithoutTheUsersList()
{
    const QVariantList controllers{QVariantMap{{"id", "3"}, {"name", "SetTopBox"}, {"supportKeys", "NUM_1,NUM_2,OK"}}};
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox({{"controllers", controllers}, {"channelConfirmKey", "OK"}})));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const auto recordFor1s = [&](const QStringList &tuning, const QString &file) {
        return record(folder, QStringList{QStringLiteral("--box"), plainUuid} + tuning
                                  + QStringList{QStringLiteral("--for"), QStringLiteral("1s"), QStringLiteral("--output"), folder.filePath(file)});
    };

    const Outcome exported = recordFor1s({QStringLiteral("--keys"), QStringLiteral("NUM_2,NUM_1,OK"), QStringLiteral("--channel"),
                                          QStringLiteral("21")}, QStringLiteral("exported.ts"));
    QVERIFY2(exported.status == 0 && exported.errors.isEmpty(), qPrintable(exported.errors));
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(plainUuid), QStringLiteral("21"), hangMs);
    // The keys alone tune as well.
    const Outcome keysAlone = recordFor1s({QStringLiteral("--keys"), QStringLiteral("NUM_1,NUM_2,OK")}, QStringLiteral("keys.ts"));
    QVERIFY2(keysAlone.status == 0, qPrintable(keysAlone.errors));
    QTRY_COMPARE_WITH_TIMEOUT(sim.tunedChannel(plainUuid), QStringLiteral("12"), hangMs);

    const Outcome byNumber = recordFor1s({QStringLiteral("--channel"), QStringLiteral("21")}, QStringLiteral("bare.ts"));
    QVERIFY2(byNumber.status == 0 && byNumber.errors.contains(QLatin1String("channel 21 is not in the channel list"))
                 && byNumber.errors.contains(QLatin1String("without a confirming key")),
             qPrintable(byNumber.errors));
    QCOMPARE(sim.tunedChannel(plainUuid), QStringLiteral("12"));
}

void tst_record::readerThatGoesAwayEndsItAtOnce()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    QProcess pipeline;
    prepare(pipeline, folder);
    // No end time: only the reader's going away can end it.
    pipeline.start(QStringLiteral("bash"),
                   {QStringLiteral("-c"), QStringLiteral("\"$0\" --box 'Living Room' --output - | head -c 500000 >/dev/null;"
                                                         " exit ${PIPESTATUS[0]}"),
                    recorderPath()});
    const Outcome outcome = finish(pipeline);
    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
}

void tst_record::terminationLeavesAPlayableFile_data()
{
    QTest::addColumn<QStringList>("length");
    QTest::newRow("until stopped") << QStringList();
    // Beyond what a timer counts in int milliseconds: wrapped, it would end within a second.
    QTest::newRow("for 50 days") << QStringList{QStringLiteral("--for"), QStringLiteral("4294968s")};
}

void tst_record::terminationLeavesAPlayableFile()
{
    QFETCH(QStringList, length);
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("film.ts"));
    QProcess recorder;
    prepare(recorder, folder);
    recorder.start(recorderPath(), QStringList{QStringLiteral("--box"), QStringLiteral("Living Room"),
                                               QStringLiteral("--output"), path} + length);
    QVERIFY(runsUntilSize(recorder, path, 1000000));

    ::kill(recorder.processId(), SIGTERM);
    const Outcome outcome = finish(recorder);

    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
    QVERIFY(endsOnWholePacket(path));
    QCOMPARE(decodingErrors(path), QString());
}

void tst_record::droppedStreamContinuesTheFile()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(
        plainBox({{"streamDropAfterMs", 3000}, {"streamDownMs", 1500}, {"streamDropMidPacket", true}})));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("film.ts"));
    QProcess recorder;
    startRecording(recorder, folder, path);
    QVERIFY(sim.waitForRequest(plainUuid, QStringLiteral("8080 GET"), hangMs));
    // Asked for again after the drop, and again while the box refuses it, until it comes back.
    QVERIFY(QTest::qWaitFor([&] { return sim.requests(plainUuid).filter(QStringLiteral("8080 GET")).size() >= 2; }, hangMs));
    const qint64 sizeAtDrop = QFileInfo(path).size();
    QVERIFY(waitForSize(path, sizeAtDrop + 1000000));

    ::kill(recorder.processId(), SIGTERM);
    const Outcome outcome = finish(recorder);

    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
    QVERIFY(endsOnWholePacket(path));
    QCOMPARE(nullPackets(path), 0);
    QCOMPARE(streamKinds(path), QStringLiteral("audio,video"));
}

// A reader that takes nothing more (its pipe full) does not keep the command from its stop.
void tst_record::stopWithAStalledReaderEndsIt()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString pipePath = folder.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipePath).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(pipePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);
    QProcess recorder;
    prepare(recorder, folder);
    recorder.setStandardOutputFile(pipePath);
    recorder.start(recorderPath(), {QStringLiteral("--box"), QStringLiteral("Living Room"), QStringLiteral("--output"),
                                    QStringLiteral("-")});
    int waiting = 0;
    // Half the pipe: how full it gets depends on the pieces written; the stream fills the rest at once.
    QVERIFY(QTest::qWaitFor([&] { return ::ioctl(reader, FIONREAD, &waiting) == 0 && waiting >= 32768; }, hangMs));

    ::kill(recorder.processId(), SIGTERM);
    const Outcome outcome = finish(recorder);
    ::close(reader);

    QVERIFY2(outcome.status == 0, qPrintable(outcome.errors));
}

// A stop during the search leaves no file and does not say it recorded.
void tst_record::stopBeforeTheStreamRecordsNothing()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    QProcess recorder;
    prepare(recorder, folder);
    recorder.setReadChannel(QProcess::StandardError);
    recorder.start(recorderPath(), {QStringLiteral("--box"), QStringLiteral("Nowhere"), QStringLiteral("--verbose")});
    QVERIFY(QTest::qWaitFor([&] { return recorder.peek(4096).contains("Searching for Nowhere"); }, hangMs));

    ::kill(recorder.processId(), SIGTERM);
    const Outcome outcome = finish(recorder);

    QVERIFY2(outcome.status == 11, qPrintable(outcome.errors));
    QVERIFY(!QDir(folder.filePath(QStringLiteral("Videos"))).exists()
            || QDir(folder.filePath(QStringLiteral("Videos"))).isEmpty());
}

void tst_record::fileSizeLimitEndsItWithItsReason()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("film.ts"));
    QProcess recorder;
    prepare(recorder, folder);
    // 1000 blocks of 1024 bytes: not a whole number of packets.
    recorder.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("ulimit -f 1000; exec \"$0\" --box 'Living Room' --output \"$1\""),
                                            recorderPath(), path});
    const Outcome outcome = finish(recorder);

    QCOMPARE(outcome.status, 8);
    QVERIFY2(outcome.errors.contains(QStringLiteral("File too large")), qPrintable(outcome.errors));
    QCOMPARE(outcome.errors.count(QLatin1Char('\n')), 1);
    QVERIFY(endsOnWholePacket(path));
    QCOMPARE(decodingErrors(path), QString());
}

void tst_record::endsWithTheStatusOfWhatWentWrong_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown box") << QStringLiteral("Attic") << QStringLiteral("film.ts") << 3;
    QTest::newRow("unpinned key") << QStringLiteral("Bedroom") << QStringLiteral("film.ts") << 6;
    QTest::newRow("stream never sent") << QStringLiteral("Living Room") << QStringLiteral("film.ts") << 5;
    QTest::newRow("unwritable folder") << QStringLiteral("Living Room") << QStringLiteral("missing/film.ts") << 7;
    QTest::newRow("malformed box address") << QStringLiteral("127.0.0.2:0") << QStringLiteral("film.ts") << 2;
    QTest::newRow("unknown option") << QStringLiteral("Living Room\n--fr") << QStringLiteral("film.ts") << 2;
    QTest::newRow("error page for a stream") << QStringLiteral("Kitchen") << QStringLiteral("film.ts") << 10;
    // As the window would refuse the key, rather than send it to be ignored.
    QTest::newRow("channel on a remote without digits") << QStringLiteral("Kitchen\n--channel\n5")
                                                        << QStringLiteral("film.ts") << 9;
    QTest::newRow("channel on a box whose remote never answers") << QStringLiteral("Study\n--channel\n5")
                                                                 << QStringLiteral("film.ts") << 9;
}

void tst_record::endsWithTheStatusOfWhatWentWrong()
{
    QFETCH(QString, box);
    QFETCH(QString, output);
    QFETCH(int, status);
    const QVariantList noDigits{QVariantMap{{"id", "1"}, {"name", "TV"}, {"supportKeys", "PWR,CH_UP,CH_DN"}}};
    const QVariantMap troubled{{"uuid", "7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e03"}, {"address", "127.0.0.4"},
                               {"friendlyName", "Kitchen"}, {"controllers", noDigits},
                               {"streamErrorPage", true}};
    const QVariantMap mute{{"uuid", "7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e04"}, {"address", "127.0.0.5"},
                           {"friendlyName", "Study"}, {"rcuDelayMs", neverMs}};
    TAVO_test_boxSim sim(TAVO_test_boxSim::boxes(
        {plainBox({{"silent", QStringList{QStringLiteral("stream")}}}), encryptedBox({{"tlsKey", "other"}}), troubled, mute}));
    QVERIFY(sim.start());
    QTemporaryDir folder;

    // No end time: each of these must end the command by itself. A box's lines after the first
    // are further arguments.
    const QStringList more = box.split(QLatin1Char('\n'));
    const Outcome outcome = record(folder, QStringList{QStringLiteral("--box"), more.first(), QStringLiteral("--output"),
                                                       folder.filePath(output)} + more.mid(1));

    QVERIFY2(outcome.status == status, qPrintable(outcome.errors));
    QVERIFY2(outcome.errors.count(QLatin1Char('\n')) == 1, qPrintable(outcome.errors));
}

void tst_record::secondRecordingOfTheBoxRefuses()
{
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(plainBox()));
    QVERIFY(sim.start());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("first.ts"));
    QProcess first;
    startRecording(first, folder, path);
    QVERIFY(waitForSize(path, packetSize));

    QProcess second;
    prepare(second, folder);
    const QString secondPath = folder.filePath(QStringLiteral("second.ts"));
    second.start(recorderPath(), {QStringLiteral("--box"), plainUuid, QStringLiteral("--output"), secondPath});
    // A lock not taken shows at once: the second recording makes its file.
    QVERIFY(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning || QFile::exists(secondPath); }, hangMs));
    QVERIFY2(!QFile::exists(secondPath), "the second recording was not refused");

    const Outcome refused = finish(second);
    QVERIFY2(refused.status == 4, qPrintable(refused.errors));
    ::kill(first.processId(), SIGTERM);
    QCOMPARE(finish(first).status, 0);
}

QTEST_GUILESS_MAIN(tst_record)
#include "tst_record.moc"
