// The recording command's parts that need no box: its options, its packet writer (against a
// file and a pipe), its box lock and its stop signals; and a box's address as every program reads it.

#include "TAVO_mgr_backgroundWriter.h"
#include "TAVO_mgr_boxLock.h"
#include "TAVO_mgr_packetWriter.h"
#include "TAVO_mgr_stopSignals.h"
#include "TAVO_mgr_streamRequest.h"
#include "TAVO_record_options.h"
#include "TAVO_record_recording.h"

#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TAVO_mgr_boxName::Kind)
Q_DECLARE_METATYPE(TAVO_mgr_packetWriter::Result)
Q_DECLARE_METATYPE(TAVO_mgr_boxLock::Outcome)

namespace {

constexpr int packetSize = TAVO_mgr_packetWriter::packetSize;

// Transport packets, one per letter: 'v' begins a picture, 'a' a sound frame, '-' continues
// either. Each packet's filler is its number, never the sync byte.
QByteArray packets(const char *kinds, int first = 0)
{
    QByteArray stream;
    for (int at = 0; kinds[at]; ++at) {
        QByteArray packet(packetSize, char(0x10 + first + at));
        packet[0] = 0x47;
        packet[1] = kinds[at] == '-' ? 0x01 : 0x41;
        packet[3] = 0x10;
        if (kinds[at] != '-')
            packet.replace(4, 4, QByteArray::fromHex(kinds[at] == 'v' ? "000001e0" : "000001c0"));
        stream += packet;
    }
    return stream;
}

} // namespace

class tst_recordOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxAddressIsReadOrRefused_data();
    void boxAddressIsReadOrRefused();
    void boxIsReadOrRefused_data();
    void boxIsReadOrRefused();
    void endTimeIsAsAsked_data();
    void endTimeIsAsAsked();
    void endTimeEndsASearchThatFindsNothing();
    void streamSettingsAreReadOrRefused_data();
    void streamSettingsAreReadOrRefused();
    void keysAreReadOrRefused_data();
    void keysAreReadOrRefused();
    void packetWriterKeepsWhatItGot_data();
    void packetWriterKeepsWhatItGot();
    void packetWriterGivesAStalledReaderEverything();
    void backgroundWriterNeverWaitsForTheDisk();
    void lockIsTheUsersOwn_data();
    void lockIsTheUsersOwn();
    void stopSignalsNotWatchedAreNotBlocked();
};

namespace {

// "host port" (port -1 when none), or the description's URL.
QString whereOf(const TAVO_mgr_boxAddress &address)
{
    return address.description.isValid() ? address.description.toString()
                                         : QStringLiteral("%1 %2").arg(address.host).arg(address.port);
}

} // namespace

// The window's "add by address" and both programs' --box read an address alike.
void tst_recordOptions::boxAddressIsReadOrRefused_data()
{
    QTest::addColumn<QString>("address");
    // Empty when refused.
    QTest::addColumn<QString>("where");
    QTest::newRow("IPv4 address") << "192.168.1.20" << "192.168.1.20 -1";
    QTest::newRow("host name, spaces around") << "  kld450r.local " << "kld450r.local -1";
    QTest::newRow("host:port") << "192.168.1.20:49152" << "192.168.1.20 49152";
    QTest::newRow("host name:port") << "kld450r.local:49152" << "kld450r.local 49152";
    QTest::newRow("IPv6 address:port") << "[fe80::1]:49152" << "fe80::1 49152";
    QTest::newRow("IPv6 in brackets") << "[fe80::1]" << "fe80::1 -1";
    QTest::newRow("IPv6 bare") << "fe80::1" << "fe80::1 -1";
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml"
                                     << "http://192.168.1.20:49152/description.xml";
    QTest::newRow("IPv6 description URL") << "http://[fe80::1]:49152/d.xml" << "http://[fe80::1]:49152/d.xml";
    QTest::newRow("web page URL") << "http://192.168.1.20/" << "192.168.1.20 -1";
    QTest::newRow("web page URL with port") << "http://192.168.1.20:49152/" << "192.168.1.20 49152";
    QTest::newRow("empty") << "   " << "";
    QTest::newRow("port 0") << "192.168.1.20:0" << "";
    QTest::newRow("port too large") << "192.168.1.20:65536" << "";
    QTest::newRow("colon without port") << "192.168.1.20:" << "";
    QTest::newRow("not an IPv4 address") << "300.1.1.1:80" << "";
    QTest::newRow("short IPv4 address") << "1.2.3:80" << "";
    QTest::newRow("name in brackets") << "[box]:80" << "";
    QTest::newRow("path without scheme") << "192.168.1.20/description.xml" << "";
    QTest::newRow("HTTPS") << "https://192.168.1.20/description.xml" << "";
    QTest::newRow("other scheme") << "file:///etc/passwd" << "";
    QTest::newRow("user in URL") << "http://admin@192.168.1.20/description.xml" << "";
    QTest::newRow("space in host") << "my box" << "";
    QTest::newRow("scheme alone") << "http://" << "";
}

void tst_recordOptions::boxAddressIsReadOrRefused()
{
    QFETCH(QString, address);
    QFETCH(QString, where);

    const TAVO_mgr_boxAddress read = TAVO_mgr_boxAddress::read(address);

    QCOMPARE(read.isUsable() ? whereOf(read) : QString(), where);
    QCOMPARE(read.error.isEmpty(), !where.isEmpty());
    QVERIFY2(!read.error.contains(QLatin1Char('\n')), qPrintable(read.error));
}

void tst_recordOptions::boxIsReadOrRefused_data()
{
    using Kind = TAVO_mgr_boxName::Kind;
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<Kind>("kind");
    // For an address, what TAVO_mgr_boxAddress read of it.
    QTest::addColumn<QString>("where");
    QTest::newRow("friendly name, blanks around") << " Living Room " << true << Kind::NameOrUdn << "";
    QTest::newRow("friendly name, one word") << "Bedroom" << true << Kind::NameOrUdn << "";
    QTest::newRow("friendly name, a number") << "42" << true << Kind::NameOrUdn << "";
    QTest::newRow("UDN") << "uuid:7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01" << true << Kind::NameOrUdn << "";
    QTest::newRow("UDN without uuid:") << "7e1f0c22-35aa-4c61-9b0e-5a1d2c3b4e01" << true << Kind::NameOrUdn << "";
    QTest::newRow("name with a colon") << "News 24: Berlin" << true << Kind::NameOrUdn << "";
    QTest::newRow("name with a dot and a blank") << "Dr. Who's box" << true << Kind::NameOrUdn << "";
    QTest::newRow("IPv4 address") << "192.168.1.20" << true << Kind::Address << "192.168.1.20 -1";
    QTest::newRow("host name") << "kld450r.local" << true << Kind::Address << "kld450r.local -1";
    QTest::newRow("IPv6 address") << "fe80::1" << true << Kind::Address << "fe80::1 -1";
    QTest::newRow("IPv4 address:port") << "192.168.1.20:49152" << true << Kind::AddressAndPort << "192.168.1.20 49152";
    QTest::newRow("one-word host:port") << "kld450r:49152" << true << Kind::AddressAndPort << "kld450r 49152";
    QTest::newRow("IPv6 address:port") << "[fe80::1]:49152" << true << Kind::AddressAndPort << "fe80::1 49152";
    QTest::newRow("description URL") << "http://192.168.1.20:49152/description.xml" << true << Kind::Description
                                     << "http://192.168.1.20:49152/description.xml";
    QTest::newRow("empty") << "  " << false << Kind::NameOrUdn << "";
    QTest::newRow("port 0") << "192.168.1.20:0" << false << Kind::NameOrUdn << "";
    QTest::newRow("name in brackets") << "[box]:80" << false << Kind::NameOrUdn << "";
    QTest::newRow("scheme alone") << "http://" << false << Kind::NameOrUdn << "";
}

void tst_recordOptions::boxIsReadOrRefused()
{
    QFETCH(QString, box);
    QFETCH(bool, usable);
    QFETCH(TAVO_mgr_boxName::Kind, kind);
    QFETCH(QString, where);
    TAVO_record_options options;
    QString problem;

    const bool read = TAVO_record_options::parse({QStringLiteral("tavo-record"), QStringLiteral("--box"), box},
                                                 QDateTime::currentDateTime(), &options, &problem);

    QVERIFY2(read == usable, qPrintable(problem));
    if (!usable) {
        QVERIFY2(problem.startsWith(QLatin1String("--box")) && !problem.contains(QLatin1Char('\n')), qPrintable(problem));
        return;
    }
    QCOMPARE(options.box.kind, kind);
    QCOMPARE(options.box.text, box.trimmed());
    QCOMPARE(kind == TAVO_mgr_boxName::Kind::NameOrUdn ? QString() : whereOf(options.box.address), where);
}

void tst_recordOptions::endTimeIsAsAsked_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("now");
    // Milliseconds from now to the end of the time of day, or the length of --for; -1: refused.
    QTest::addColumn<qint64>("untilMs");
    QTest::addColumn<qint64>("forMs");
    QTest::newRow("--until past midnight") << QStringList{"--until", "01:00"} << "23:00" << qint64(2 * 3600000) << qint64(-1);
    QTest::newRow("--until now is tomorrow") << QStringList{"--until", "23:00"} << "23:00" << qint64(24 * 3600000) << qint64(-1);
    QTest::newRow("--for beyond 24 days") << QStringList{"--for", "600h"} << "12:00" << qint64(-1) << qint64(600) * 3600000;
    QTest::newRow("unknown option") << QStringList{"--four", "2h"} << "12:00" << qint64(-1) << qint64(-1);
}

void tst_recordOptions::endTimeIsAsAsked()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, now);
    QFETCH(qint64, untilMs);
    QFETCH(qint64, forMs);
    const QDateTime at(QDate(2026, 12, 9), QTime::fromString(now, QStringLiteral("HH:mm")));
    TAVO_record_options options;
    QString problem;

    const bool read = TAVO_record_options::parse(QStringList{"tavo-record", "--box", "Living Room"} + arguments, at,
                                                 &options, &problem);

    QCOMPARE(read, untilMs >= 0 || forMs >= 0);
    QCOMPARE(options.endAt.isValid() ? at.msecsTo(options.endAt) : -1, untilMs);
    QCOMPARE(options.forMs, forMs);
}

// --until counts from the start: a box that never answers does not keep the command past it.
void tst_recordOptions::endTimeEndsASearchThatFindsNothing()
{
    TAVO_record_options options;
    QString problem;
    QVERIFY(TAVO_record_options::parse({"tavo-record", "--box", "Nowhere", "--until", "23:00"},
                                       QDateTime::currentDateTime(), &options, &problem));
    options.endAt = QDateTime::currentDateTime();
    TAVO_record_recording recording(options);
    QSignalSpy ended(&recording, &TAVO_record_recording::ended);

    recording.start();

    QVERIFY(ended.wait(TAVO_record_recording::boxSearchLimitMs * 3));
    QCOMPARE(ended.first().first().toInt(), int(TAVO_record_exitStatus::NothingRecorded));
}

void tst_recordOptions::streamSettingsAreReadOrRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    // The query a box with nothing remembered is asked with; empty when refused.
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("problem");
    QTest::newRow("none") << QStringList{}
                          << "src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd" << "";
    QTest::newRow("h264") << QStringList{"--video-codec", "h264"}
                          << "src=1&vcodec=h264&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd" << "";
    QTest::newRow("as the window shows it") << QStringList{"--video-codec", "H.264"}
                                            << "src=1&vcodec=h264&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd" << "";
    QTest::newRow("all five") << QStringList{"--bitrate", "1.5", "--fps", "25", "--resolution", "1080i", "--audio-codec",
                                             "aac", "--video-codec", "mpeg2"}
                              << "src=1&vcodec=mpeg2&acodec=aac&res=1080i&fps=25&bitrate=1.5&protocol=hpd" << "";
    QTest::newRow("unknown codec") << QStringList{"--video-codec", "hevc"} << ""
                                   << "--video-codec takes mpeg2 or h264";
    QTest::newRow("one item only") << QStringList{"--audio-codec", "mp3"} << "" << "--audio-codec takes aac";
    QTest::newRow("lines without scan") << QStringList{"--resolution", "720"} << ""
                                        << "--resolution takes 480i, 480p, 576i, 576p, 720i, 720p or 1080i";
    QTest::newRow("more to the request") << QStringList{"--resolution", "720p&src=2"} << ""
                                         << "--resolution takes 480i, 480p, 576i, 576p, 720i, 720p or 1080i";
    QTest::newRow("rate not offered") << QStringList{"--fps", "29.97"} << "" << "--fps takes 24, 25, 30, 50 or 60";
    QTest::newRow("decimal comma") << QStringList{"--bitrate", "1,5"} << "" << "--bitrate takes 1.5, 3, 4.5 or 6";
    QTest::newRow("empty") << QStringList{"--bitrate", ""} << "" << "--bitrate takes 1.5, 3, 4.5 or 6";
}

void tst_recordOptions::streamSettingsAreReadOrRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, query);
    QFETCH(QString, problem);
    TAVO_record_options options;
    QString refusal;

    const bool read = TAVO_record_options::parse(QStringList{"tavo-record", "--box", "Living Room"} + arguments,
                                                 QDateTime::currentDateTime(), &options, &refusal);

    QCOMPARE(refusal, problem);
    QCOMPARE(read, problem.isEmpty());
    if (!read)
        return;
    TAVO_mgr_streamSettings::giveForThisRun(options.streamSettings);
    const QString asked = TAVO_mgr_streamRequest::query(TAVO_mgr_streamSettings::forBox(QString()));
    TAVO_mgr_streamSettings::giveForThisRun({});
    QCOMPARE(asked, query);
}

// An exported playlist's --keys: only names of the key table go to a box, whatever a file holds.
void tst_recordOptions::keysAreReadOrRefused_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("read");  // empty: refused
    QTest::newRow("digits and a confirming key") << "NUM_1,NUM_0,NUM_1,OK" << QStringList{"NUM_1", "NUM_0", "NUM_1", "OK"};
    QTest::newRow("one key") << "CH_UP" << QStringList{"CH_UP"};
    QTest::newRow("sixteen keys") << QStringList(16, QStringLiteral("NUM_9")).join(QLatin1Char(',')) << QStringList(16, QStringLiteral("NUM_9"));
    QTest::newRow("seventeen keys") << QStringList(17, QStringLiteral("NUM_9")).join(QLatin1Char(',')) << QStringList{};
    QTest::newRow("small letters") << "num_1,ok" << QStringList{};
    QTest::newRow("a name no remote has") << "NUM_1,SELF_DESTRUCT" << QStringList{};
    QTest::newRow("an empty name") << "NUM_1,,OK" << QStringList{};
    QTest::newRow("blanks") << "NUM_1, OK" << QStringList{};
    QTest::newRow("a command after it") << "OK;reboot" << QStringList{};
    QTest::newRow("nothing") << "" << QStringList{};
}

void tst_recordOptions::keysAreReadOrRefused()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, read);
    TAVO_record_options options;
    QString problem;

    const bool usable = TAVO_record_options::parse({QStringLiteral("tavo-record"), QStringLiteral("--box"), QStringLiteral("Den"),
                                                    QStringLiteral("--keys"), keys, QStringLiteral("--channel"), QStringLiteral("101")},
                                                   QDateTime::currentDateTime(), &options, &problem);

    QVERIFY2(usable == !read.isEmpty(), qPrintable(problem));
    QCOMPARE(options.keys, read.isEmpty() ? options.keys : read);
    if (!usable)
        QVERIFY2(problem.startsWith(QLatin1String("--keys")), qPrintable(problem));
}

void tst_recordOptions::packetWriterKeepsWhatItGot_data()
{
    using Result = TAVO_mgr_packetWriter::Result;
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Result>("result");
    const QByteArray sound = packets("a-a-");
    QTest::newRow("picture written in part is cut") << packets("v-v-v") << packets("v-v-") << Result::Written;
    QTest::newRow("sound alone ends on its last whole unit") << sound << packets("a-") << Result::Written;
}

void tst_recordOptions::packetWriterKeepsWhatItGot()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, file);
    QFETCH(TAVO_mgr_packetWriter::Result, result);
    QTemporaryFile output;
    QVERIFY(output.open());
    TAVO_mgr_packetWriter writer(output.handle());

    // As a reader of the stream gives it: whole packets, a few at a time.
    TAVO_mgr_packetWriter::Result last = TAVO_mgr_packetWriter::Result::Written;
    for (qsizetype at = 0; at < stream.size() && last == TAVO_mgr_packetWriter::Result::Written; at += 2 * packetSize)
        last = writer.add(stream.mid(at, 2 * packetSize));
    writer.trimToWholePictures();

    QCOMPARE(last, result);
    output.seek(0);
    QCOMPARE(output.readAll(), file);
}

// The reader takes a few kilobytes at a time; what it has not taken yet comes later, none of it lost.
void tst_recordOptions::packetWriterGivesAStalledReaderEverything()
{
    int pipe[2];
    QCOMPARE(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC), 0);
    QVERIFY(::fcntl(pipe[1], F_SETPIPE_SZ, 4096) > 0);
    TAVO_mgr_packetWriter writer(pipe[1]);
    const QByteArray stream = packets("a-------------------------------------------------");
    QByteArray read;

    TAVO_mgr_packetWriter::Result result = writer.add(stream);
    for (int round = 0; result == TAVO_mgr_packetWriter::Result::Waiting && round < 100; ++round) {
        char buffer[4096];
        const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
        read.append(buffer, got > 0 ? got : 0);
        result = writer.flush();
    }
    char buffer[4096];
    const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
    read.append(buffer, got > 0 ? got : 0);
    ::close(pipe[0]);
    ::close(pipe[1]);

    QCOMPARE(result, TAVO_mgr_packetWriter::Result::Written);
    QCOMPARE(read.size(), stream.size());
    QCOMPARE(read, stream);
}

// A disk that takes nothing for a while (here a pipe nobody reads yet) never holds the thread
// that hands the writer its packets; everything reaches the disk once it takes it.
void tst_recordOptions::backgroundWriterNeverWaitsForTheDisk()
{
    int pipe[2];
    QCOMPARE(::pipe2(pipe, O_CLOEXEC), 0);
    const QByteArray stream = packets("a-------------------------------------------------").repeated(40);
    TAVO_mgr_backgroundWriter writer(pipe[1]);

    writer.add(stream);

    QByteArray read;
    char buffer[65536];
    while (read.size() < stream.size()) {
        const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
        QVERIFY(got > 0);
        read.append(buffer, got);
    }
    QCOMPARE(writer.finish(), QString());
    ::close(pipe[0]);
    QCOMPARE(read, stream);
}

void tst_recordOptions::lockIsTheUsersOwn_data()
{
    using Outcome = TAVO_mgr_boxLock::Outcome;
    QTest::addColumn<bool>("runtimeFolderSet");
    QTest::addColumn<bool>("linkPlanted");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("no runtime folder") << false << false << Outcome::Taken;
    QTest::newRow("link where the lock goes") << true << true << Outcome::Unavailable;
}

void tst_recordOptions::lockIsTheUsersOwn()
{
    QFETCH(bool, runtimeFolderSet);
    QFETCH(bool, linkPlanted);
    QFETCH(TAVO_mgr_boxLock::Outcome, outcome);
    QTemporaryDir runtime;
    QTemporaryDir temporary;
    // As cron starts it, or as a desktop session does; the shared temporary folder is a fresh one.
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    if (runtimeFolderSet)
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    else
        qunsetenv("XDG_RUNTIME_DIR");
    const QString victim = temporary.filePath(QStringLiteral("victim"));
    if (linkPlanted) {
        QVERIFY(QDir().mkpath(runtime.filePath(QStringLiteral("tavo-client"))));
        QVERIFY(QFile::link(victim, TAVO_mgr_boxLock::pathFor(QStringLiteral("uuid:box"))));
    }
    TAVO_mgr_boxLock lock(QStringLiteral("uuid:box"));
    QString problem;

    const TAVO_mgr_boxLock::Outcome taken = lock.acquire(&problem);
    const QFileInfo folder(TAVO_mgr_boxLock::folder());
    qunsetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");

    QVERIFY2(taken == outcome, qPrintable(problem));
    QVERIFY(!QFile::exists(victim));
    // The same folder as the desktop session's when the user has one; never one others can write.
    QVERIFY2(folder.path() == QStringLiteral("/run/user/%1").arg(::getuid()) || runtimeFolderSet
                 || folder.filePath() == temporary.filePath(QStringLiteral("tavo-client-%1").arg(::getuid())),
             qPrintable(folder.filePath()));
    QCOMPARE(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFile::Permissions());
}

// Without a descriptor to read them on (no descriptor left here), the stop signals are not left
// blocked: they would be ignored for good.
void tst_recordOptions::stopSignalsNotWatchedAreNotBlocked()
{
    rlimit files {};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &files), 0);
    rlimit none = files;
    none.rlim_cur = 3;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const int fd = TAVO_mgr_stopSignals::descriptor();
    ::setrlimit(RLIMIT_NOFILE, &files);
    sigset_t blocked;
    pthread_sigmask(SIG_SETMASK, nullptr, &blocked);

    QCOMPARE(fd, -1);
    QVERIFY(!sigismember(&blocked, SIGTERM));
    QVERIFY(!sigismember(&blocked, SIGINT));
}

QTEST_GUILESS_MAIN(tst_recordOptions)
#include "tst_recordOptions.moc"
