// Playback figures, printed: how soon a key on the remote shows in the picture ("key to
// photon", split into its parts), Start to first and to moving picture, the pictures libVLC
// loses over a minute with the client's media options and with libVLC's defaults, the share of
// the stream's pictures that the client's window, libVLC's defaults and ffplay show, the
// client's freezes on a stream with hiccups beside cvlc's, and the client's CPU while a stream
// starts and while idle. Beside the client in the same run: ffplay
// at its lowest delay with its sound on (the fair bound for a player that keeps its sound in
// sync) and silent (the bound the stream allows), and cvlc (what users run instead). The key is
// seen by the simulated box's key marker (tools/boxsim/README.md). TAVO_BENCH_CREEP=<minutes>
// measures only the delay creep of boxes whose clocks run fast and slow.
// Runs in the private network on an X display (scripts/bench.sh).

#include "TAVO_mgr_streamServer.h"
#include "TAVO_player_restartOwner.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_processStats.h"
#include "TAVO_test_screenVideo.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <vlc/vlc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace {

using namespace TAVO_test_benchTable;
using TAVO_test_screenVideo::markerSlots;

// Every player starts the stream three times and gets seven keys after each start: a start
// can settle on a larger delay than the one before. The client and ffplay start six times,
// for the spread of their shares from start to start.
const int startRuns = 3;
const int spreadStartRuns = 6;
const int keysPerRun = 7;
const int playMinuteSeconds = 60;
const int pollMs = 10;
const int pictureTimeoutMs = 15000;
const int keyTimeoutMs = 6000;
const int cpuWindowMs = 3000;
// A picture moves once it changed this often within half a second (30 frames a second make 15).
const int movingChanges = 8;
const qint64 movingWindowMs = 500;
// Pictures shown are counted after a start's first seconds, and in its first seconds.
const qint64 settledFromMs = 3000;
const qint64 firstSecondsMs = 15000;
// A picture that stays this long while playing is a freeze; freezes are counted over this many
// minutes of the stream with hiccups (TAVO_BENCH_FREEZE_MINUTES, 0 for none).
const qint64 freezeMs = 500;
const int freezeMinutes = 10;
// Between two reads of the frame number: a picture of 30 a second is read a dozen times.
const int frameReadMs = 2;
const QString benchUuid = QStringLiteral("be7c0000-0001-4000-8000-0000000000b1");
const QString hiccupsUuid = QStringLiteral("be7c0000-0003-4000-8000-0000000000b3");
const QString streamQuery = QStringLiteral("/?src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd");
const QByteArray streamUrl = "http://127.0.0.2:8080" + streamQuery.toLatin1();
const QByteArray hiccupStreamUrl = "http://127.0.0.4:8080" + streamQuery.toLatin1();
// A box that sends H.264 with a picture that decodes alone every 4 s, as HDMI encoders do, and
// one that sends sound only, as on a radio channel.
const QString longGroupUuid = QStringLiteral("be7c0000-0006-4000-8000-0000000000b6");
const QByteArray longGroupAddress = "127.0.0.7";
const QString longGroupRow = QStringLiteral("Long (127.0.0.7)");
const QByteArray longGroupStreamUrl = "http://" + longGroupAddress + ":8080" + streamQuery.toLatin1();
const double longGroupSeconds = 4;
const QString radioUuid = QStringLiteral("be7c0000-0007-4000-8000-0000000000b7");
const QByteArray radioStreamUrl = "http://127.0.0.8:8080" + streamQuery.toLatin1();
// Boxes whose clocks run 300 ppm fast and slow (delay creep, TAVO_BENCH_CREEP).
const int creepPpm = 300;
struct ClockOffBoxInfo
{
    bool fast;
    QString uuid;
    QByteArray address;
    QString row;
};
const ClockOffBoxInfo clockOffBoxes[] = {
    {true, QStringLiteral("be7c0000-0004-4000-8000-0000000000b4"), "127.0.0.5", QStringLiteral("Fast (127.0.0.5)")},
    {false, QStringLiteral("be7c0000-0005-4000-8000-0000000000b5"), "127.0.0.6", QStringLiteral("Slow (127.0.0.6)")}};
// ffplay and cvlc open their windows at the top left of the screen, in the video's size.
const QRect externalPlayerArea(0, 0, 1280, 720);
const char clickedKey[] = "MENU";

// How long a player plays for the pictures it shows and loses (TAVO_BENCH_PLAY_SECONDS shortens
// it for a quick look).
int playSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("TAVO_BENCH_PLAY_SECONDS");
    return seconds > 0 ? seconds : playMinuteSeconds;
}

int framesPerSecond()
{
    return QUrlQuery(streamQuery.mid(2)).queryItemValue(QStringLiteral("fps")).toInt();
}

// Seconds since the epoch, the clock of the box's request log.
double now()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

QList<double> sorted(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

// Nearest rank: the smallest value that at least 95 % of the values do not exceed.
double percentile95(const QList<double> &values)
{
    return values.isEmpty() ? -1 : sorted(values).at((values.size() * 95 + 99) / 100 - 1);
}

QString medianOrNone(const QList<double> &values)
{
    return values.isEmpty() ? QStringLiteral("none") : QStringLiteral("%1 ms").arg(qRound(median(values)));
}

// The lowest, middle and highest value.
QString spread(const QList<double> &values)
{
    const QList<double> ordered = sorted(values);
    return values.isEmpty() ? QStringLiteral("none")
                            : QStringLiteral("%1 / %2 / %3 ms")
                                  .arg(qRound(ordered.first()))
                                  .arg(qRound(median(values)))
                                  .arg(qRound(ordered.last()));
}

QString medianAndP95(const QList<double> &values)
{
    return values.isEmpty() ? QStringLiteral("none")
                            : QStringLiteral("%1 / %2 ms").arg(qRound(median(values))).arg(qRound(percentile95(values)));
}

// Decodes the stream where it leaves the box, with ffmpeg at its lowest delay (no probing, one
// decoding thread, every frame passed on at once, nothing drawn), and reads the key marker of
// every frame from its four slots, averaged down to one grey value each: the moment a new
// marker has left the box. Also keeps the box's encoder running, so that every start below
// meets a live stream under way, as a real box's would be.
class StreamTap
{
public:
    // A tap that once fell behind (the machine busy) stays behind: every player's keys get a
    // fresh one.
    void restart(const QByteArray &url = streamUrl)
    {
        stop();
        m_slot = -1;
        m_ffmpeg.start(QStringLiteral("ffmpeg"),
                       {"-hide_banner", "-loglevel", "error", "-nostdin", "-fflags", "nobuffer", "-flags", "low_delay",
                        "-probesize", "32768", "-analyzeduration", "0", "-threads", "1", "-i",
                        QString::fromLatin1(url), "-an", "-fps_mode", "passthrough", "-vf", markerCrop(),
                        "-f", "rawvideo", "-pix_fmt", "gray",
                        "-flush_packets", "1", "pipe:1"});
    }
    void stop()
    {
        if (m_ffmpeg.state() != QProcess::NotRunning) {
            m_ffmpeg.kill();
            m_ffmpeg.waitForFinished(3000);
        }
    }
    // The marker's row of slots, each averaged down to one pixel.
    static QString markerCrop()
    {
        using namespace TAVO_test_screenVideo;
        return QStringLiteral("crop=%1:2:%2:%3,scale=%4:1:flags=area")
            .arg(markerSlots * markerSlotWidth)
            .arg(markerLeft)
            .arg(markerMiddleY - 1)
            .arg(markerSlots);
    }
    // Reads the frames that came since the last call.
    void read()
    {
        while (m_ffmpeg.bytesAvailable() >= markerSlots) {
            const QByteArray frame = m_ffmpeg.read(markerSlots);
            const int slot = int(std::max_element(frame.cbegin(), frame.cend(),
                                                  [](char a, char b) { return quint8(a) < quint8(b); })
                                 - frame.cbegin());
            if (quint8(frame.at(slot)) > 128 && slot != m_slot) {
                m_slot = slot;
                m_changedAt = now();
            }
        }
    }
    int slot() const { return m_slot; }
    double changedAt() const { return m_changedAt; }
    qint64 processId() const { return m_ffmpeg.processId(); }

private:
    QProcess m_ffmpeg;
    int m_slot = -1;
    double m_changedAt = 0;
};

// What a player showed, read from the screen: the box's frame number ("streamFrameNumber") every
// few milliseconds, with the event loop running in between, each new number noted with the time
// it first showed. One count for every player, libVLC's or not.
class ShownFrames
{
public:
    // False when no frame number showed in time.
    static bool waitForPicture(const QRect &picture)
    {
        return TAVO_test_eventLoop::runUntil([&] { return TAVO_test_screenVideo::frameNumber(picture) >= 0; },
                                             pictureTimeoutMs, 5);
    }
    // Reads for `playMs` from now, the first picture's time.
    void watch(const QRect &picture, qint64 playMs)
    {
        QElapsedTimer clock;
        clock.start();
        int last = -1;
        const auto readUntilPlayed = [&] {
            const int number = TAVO_test_screenVideo::frameNumber(picture);
            if (number >= 0 && number != last) {
                m_sightings.append({clock.elapsed(), number});
                last = number;
            }
            return clock.elapsed() >= playMs;
        };
        TAVO_test_eventLoop::runUntil(readUntilPlayed, int(playMs) + 1000, frameReadMs);
        m_playMs = playMs;
    }
    // The pictures first shown from `fromMs` to `toMs` of the play, in per cent of those the
    // stream carried meanwhile (its frame rate times the time); -1 when nothing showed.
    double shownShare(qint64 fromMs, qint64 toMs) const
    {
        toMs = std::min(toMs, m_playMs);
        if (m_sightings.isEmpty() || toMs <= fromMs)
            return -1;
        QSet<int> shown;
        for (const Sighting &sighting : m_sightings) {
            if (sighting.atMs >= fromMs && sighting.atMs < toMs)
                shown.insert(sighting.number);
        }
        return 100.0 * shown.size() / (framesPerSecond() * (toMs - fromMs) / 1000.0);
    }
    // How long each picture stayed that stayed for freezeMs or more, the last one up to the end.
    // The first picture's stay is the start's (the start rows measure it), not a freeze.
    QList<qint64> freezes() const
    {
        QList<qint64> stills;
        for (qsizetype next = 2; next <= m_sightings.size(); ++next) {
            const qint64 end = next < m_sightings.size() ? m_sightings.at(next).atMs : m_playMs;
            if (end - m_sightings.at(next - 1).atMs >= freezeMs)
                stills << end - m_sightings.at(next - 1).atMs;
        }
        return stills;
    }
    bool isEmpty() const { return m_sightings.isEmpty(); }

private:
    struct Sighting
    {
        qint64 atMs;
        int number;
    };
    QList<Sighting> m_sightings;
    qint64 m_playMs = 0;
};

// libVLC with the client's instance arguments, drawing into a window of its own, with or
// without the client's media options: libVLC's defaults beside the client's setting.
class PlainLibvlc
{
public:
    explicit PlainLibvlc(const QPoint &place = QPoint(0, 0))
    {
        const char *const arguments[] = {"--video-title-timeout=0"};
        m_instance = libvlc_new(1, arguments);
        libvlc_log_set(m_instance, noteLog, this);
        m_window.setAttribute(Qt::WA_NativeWindow);
        m_window.setStyleSheet(QStringLiteral("background: black"));
        m_window.setGeometry(QRect(place, QSize(853, 480)));
    }
    ~PlainLibvlc()
    {
        stop();
        libvlc_release(m_instance);
    }
    // Notes when the player hands its first sound on (its sound then goes nowhere).
    void listenForSound() { m_listening = true; }
    // Milliseconds from play() until the first sound was handed on; -1 before.
    qint64 firstSoundMs() const { return m_firstSoundMs; }
    bool play(const QByteArray &url, const QList<QByteArray> &options)
    {
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            return false;
        m_clockPid = -1;
        m_delayRaises = 0;
        libvlc_media_t *media = libvlc_media_new_location(m_instance, url.constData());
        for (const QByteArray &option : options)
            libvlc_media_add_option(media, option.constData());
        m_player = libvlc_media_player_new_from_media(media);
        libvlc_media_release(media);
        libvlc_media_player_set_xwindow(m_player, static_cast<uint32_t>(m_window.winId()));
        m_firstSoundMs = -1;
        if (m_listening) {
            libvlc_audio_set_callbacks(m_player, soundPlayed, nullptr, nullptr, nullptr, nullptr, this);
            libvlc_audio_set_format(m_player, "S16N", 48000, 2);
        }
        m_clock.start();
        return libvlc_media_player_play(m_player) == 0;
    }
    void stop()
    {
        if (m_player) {
            libvlc_media_player_stop(m_player);
            libvlc_media_player_release(m_player);
            m_player = nullptr;
        }
        m_window.hide();
    }
    QRect area() const { return QRect(m_window.mapToGlobal(QPoint(0, 0)), m_window.size()); }
    libvlc_media_stats_t stats() const
    {
        libvlc_media_stats_t stats{};
        libvlc_media_t *media = libvlc_media_player_get_media(m_player);
        libvlc_media_get_stats(media, &stats);
        libvlc_media_release(media);
        return stats;
    }
    // The stream whose stamps libVLC takes its clock from without the stream's own clock (its
    // log names it): 256 the pictures, 257 the sound, 8191 any; -1 when it did not say.
    int clockPid() const { return m_clockPid; }
    // The delays raised since the player started: each throws away what the decoders held.
    int delayRaises() const { return m_delayRaises; }

private:
    static void soundPlayed(void *self, const void *, unsigned, int64_t)
    {
        auto *player = static_cast<PlainLibvlc *>(self);
        qint64 none = -1;
        player->m_firstSoundMs.compare_exchange_strong(none, player->m_clock.elapsed());
    }
    static void noteLog(void *self, int, const vlc_log_t *, const char *format, va_list arguments)
    {
        if (std::strstr(format, "pts_delay increased"))
            ++static_cast<PlainLibvlc *>(self)->m_delayRaises;
        if (!std::strstr(format, "workaround using pid"))
            return;
        char text[256];
        std::vsnprintf(text, sizeof text, format, arguments);
        const char *pid = std::strstr(text, "using pid ");
        if (pid)
            static_cast<PlainLibvlc *>(self)->m_clockPid = std::atoi(pid + std::strlen("using pid "));
    }

    std::atomic_int m_clockPid{-1};
    std::atomic_int m_delayRaises{0};
    bool m_listening = false;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_firstSoundMs{-1};
    libvlc_instance_t *m_instance = nullptr;
    libvlc_media_player_t *m_player = nullptr;
    QWidget m_window;
};

struct StartTimes
{
    QList<double> firstPicture;
    QList<double> movingPicture;
};

// One key: when it was clicked, arrived at the box, left the box in the picture and was seen on screen.
struct KeyTimes
{
    double click = 0;
    double box = 0;
    double leaves = 0;
    double screen = 0;
};

struct KeyFigures
{
    QList<double> total, clickToBox, boxToLeaving, leavingToScreen;
    // The median of the player's share over the keys of each start, and for libVLC players the
    // stream it took its clock from.
    QList<double> shareByStart;
    QList<int> clockPidByStart;
};

struct Stutter
{
    int lost = -1;
    int shown = -1;
    // Sound buffers libVLC dropped because they came too late for the clock, and those played.
    int lostSound = -1;
    int playedSound = -1;
    // Each raise of libVLC's delay throws away the pictures its decoders held.
    int delayRaises = -1;
};

// The times the client's restart owner started the stream again of its own accord, by reason,
// while counted.
class OwnRestarts
{
public:
    explicit OwnRestarts(const QWidget &window)
    {
        using Reason = TAVO_player_restartOwner::Reason;
        if (auto *owner = window.findChild<TAVO_player_restartOwner *>())
            connection = QObject::connect(owner, &TAVO_player_restartOwner::restarting,
                                          [this](const QString &, Reason reason) {
                                              if (reason == Reason::DelayCrept)
                                                  ++delayCrept;
                                              else if (reason == Reason::LongerCache)
                                                  ++longerCache;
                                          });
    }
    ~OwnRestarts() { QObject::disconnect(connection); }

    int delayCrept = 0;
    int longerCache = 0;

private:
    QMetaObject::Connection connection;
};

// A box whose clock runs off, played for a long while in the client's window; keys go straight
// to the box, and a tap of its stream tells when the new marker left it, so only the player's
// share is measured.
class ClockOffBox
{
public:
    ClockOffBox(const QByteArray &address, const QRect &picture) : m_address(address), m_picture(picture) {}
    // The player's share of seven keys, and into `keyToPhoton` each key's sending to the screen.
    QList<double> shares(QList<double> *keyToPhoton = nullptr);
    // The stream requests of its tap, one for each shares().
    int tapRequests() const { return m_tapRequests; }

private:
    QByteArray url() const { return "http://" + m_address + ":8080" + streamQuery.toLatin1(); }
    void sendKey() const;

    QByteArray m_address;
    QRect m_picture;
    StreamTap m_tap;
    int m_tapRequests = 0;
};

void ClockOffBox::sendKey() const
{
    QProcess::execute(QStringLiteral("curl"),
                      {"-s", "-o", "/dev/null", "--max-time", "2",
                       QString::fromLatin1("http://" + m_address + ":8090/?src=1&ver=1.0&id=1&key=MENU")});
}

// The player's share of keys sent now: the tap seeing the new marker to the screen showing it.
QList<double> ClockOffBox::shares(QList<double> *keyToPhoton)
{
    QList<double> shares;
    m_tap.restart(url());
    ++m_tapRequests;
    if (!TAVO_test_eventLoop::runUntil([this] { m_tap.read(); return m_tap.slot() >= 0; }, pictureTimeoutMs))
        return shares;
    for (int press = 0; press < keysPerRun; ++press) {
        TAVO_test_eventLoop::runFor(300 + QRandomGenerator::global()->bounded(300));
        m_tap.read();
        const int before = TAVO_test_screenVideo::markerSlot(m_picture);
        if (before < 0 || before != m_tap.slot())
            continue;
        const int expected = (before + 1) % markerSlots;
        sendKey();
        double screen = 0;
        const double sent = now();
        while (now() - sent < keyTimeoutMs / 1000.0 && (screen == 0 || m_tap.slot() != expected)) {
            QCoreApplication::processEvents();
            m_tap.read();
            if (screen == 0 && TAVO_test_screenVideo::markerSlot(m_picture) == expected)
                screen = now();
            QThread::usleep(500);
        }
        if (screen > 0 && m_tap.slot() == expected) {
            shares << (screen - m_tap.changedAt()) * 1000;
            if (keyToPhoton)
                *keyToPhoton << (screen - sent) * 1000;
        }
    }
    // A second decoder left running for the whole play would make the client's own a busy one.
    m_tap.stop();
    return shares;
}

// The pictures of a box's stream while the client may start it again: libVLC counts each start
// from nothing.
class PictureTally
{
public:
    void add(const std::optional<TAVO_player_vlcPlayer::PictureCounts> &now)
    {
        if (!now)
            return;
        if (now->lost < m_last.lost || now->shown < m_last.shown)
            m_last = {};
        lost += now->lost - m_last.lost;
        shown += now->shown - m_last.shown;
        carried += now->carried - m_last.carried;
        m_last = *now;
    }

    int lost = 0;
    int shown = 0;
    int carried = 0;

private:
    TAVO_player_vlcPlayer::PictureCounts m_last;
};

class Bench
{
public:
    bool setUp();
    double idleCpu();
    double startingCpu();
    void runClient(StartTimes *starts, KeyFigures *keys);
    void runCreep(int minutes);
    // The client's window playing a box for `playMs` from its first picture: what it showed, and
    // how often the client started the stream again by itself.
    ShownFrames playInClient(const QString &boxRow, qint64 playMs, int *restarted);
    ShownFrames playExternal(const QStringList &command, qint64 playMs,
                             const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    qsizetype streamRequests(const QString &uuid) const;
    // Once the keys are measured: the tap's decoder, and the encoder it keeps running, would
    // make every player after it a busy one.
    void stopTap() { tap.stop(); }
    void runPlainLibvlc(KeyFigures *keys);
    void runPlainLibvlcOnce(const QByteArray &url, const QList<QByteArray> &options, KeyFigures *keys,
                            StartTimes *starts = nullptr);
    void runExternal(const QStringList &command, int starts, StartTimes *startTimes, KeyFigures *keys,
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    Stutter stutter(const QByteArray &url, const QList<QByteArray> &options, ShownFrames *shown = nullptr);
    void longGroupRows();
    void soundOnlyRows();

private:
    bool restartTap();
    double clientCpuMs() const;
    void keysToPhoton(const QRect &picture, KeyFigures *figures);
    bool pressKey(KeyTimes *times, const QRect &picture);
    double boxArrival(int requestsBefore) const;
    bool waitForMarker(const QRect &picture);

    TAVO_test_boxSim sim{TAVO_test_boxSim::boxes(
        {{{"uuid", benchUuid}, {"address", "127.0.0.2"}, {"friendlyName", "Bench"}, {"streamFrameNumber", true},
          {"controllers", QVariantList{QVariantMap{{"id", "1"}, {"name", "TV"}, {"supportKeys", "PWR,MENU,OK"}}}}},
         {{"uuid", "be7c0000-0002-4000-8000-0000000000b2"}, {"address", "127.0.0.3"}, {"friendlyName", "Silent"},
          {"silent", QStringList{QStringLiteral("stream")}}},
         {{"uuid", hiccupsUuid}, {"address", "127.0.0.4"}, {"friendlyName", "Hiccups"},
          {"streamHiccups", true}, {"streamFrameNumber", true}},
         {{"uuid", clockOffBoxes[0].uuid}, {"address", clockOffBoxes[0].address}, {"friendlyName", "Fast"},
          {"streamClockPpm", creepPpm}},
         {{"uuid", clockOffBoxes[1].uuid}, {"address", clockOffBoxes[1].address}, {"friendlyName", "Slow"},
          {"streamClockPpm", -creepPpm}},
         {{"uuid", longGroupUuid}, {"address", longGroupAddress}, {"friendlyName", "Long"}, {"videoCodec", "h264"},
          {"gopSeconds", longGroupSeconds},
          {"controllers", QVariantList{QVariantMap{{"id", "1"}, {"name", "TV"}, {"supportKeys", "PWR,MENU,OK"}}}}},
         {{"uuid", radioUuid}, {"address", "127.0.0.8"}, {"friendlyName", "Radio"}, {"videoCodec", "none"}}})};
    TAVO_ui_mainWindow window;
    QWidget *panel = nullptr;
    QPushButton *start = nullptr;
    QPushButton *stop = nullptr;
    StreamTap tap;
    PlainLibvlc plainLibvlc;
};

bool Bench::setUp()
{
    if (!sim.start())
        return false;
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    start = TAVO_test_windowParts::button(&window, QStringLiteral("Start"));
    stop = TAVO_test_windowParts::button(&window, QStringLiteral("Stop"));
    auto *table = window.findChild<QTableWidget *>();
    if (!TAVO_test_eventLoop::runUntil([table] { return table->rowCount() == 7; }, 15000))
        return false;
    TAVO_test_windowParts::clickServerRow(&window, QStringLiteral("Bench (127.0.0.2)"));
    TAVO_test_eventLoop::runFor(1000);
    QTest::mouseClick(TAVO_test_windowParts::button(&window, QStringLiteral("Controller")), Qt::LeftButton);
    panel = TAVO_test_windowParts::topLevelOfClass("TAVO_ui_controller");
    if (!panel || !QTest::qWaitForWindowExposed(panel))
        return false;
    // Right of the main window, clear of its video area.
    panel->move(window.frameGeometry().right() + 1, 0);
    return restartTap();
}

bool Bench::restartTap()
{
    tap.restart();
    return TAVO_test_eventLoop::runUntil([this] { tap.read(); return tap.slot() >= 0; }, pictureTimeoutMs);
}

// The client's CPU time in milliseconds: this process, without the simulated boxes and the
// tap it runs as children.
double Bench::clientCpuMs() const
{
    return TAVO_test_processStats::cpuMs(QCoreApplication::applicationPid(), {sim.processId(), tap.processId()});
}

double Bench::idleCpu()
{
    const double before = clientCpuMs();
    TAVO_test_eventLoop::runFor(cpuWindowMs);
    return (clientCpuMs() - before) / cpuWindowMs;
}

// The watch waits for a stream that never comes; Stop ends it once the CPU has been measured.
// The readings are taken in short timer handlers so that the watch itself runs in between.
double Bench::startingCpu()
{
    TAVO_test_windowParts::clickServerRow(&window, QStringLiteral("Silent (127.0.0.3)"));
    double before = 0;
    double share = -1;
    QTimer::singleShot(500, [&] { before = clientCpuMs(); });
    QTimer::singleShot(500 + cpuWindowMs, [&] {
        share = (clientCpuMs() - before) / cpuWindowMs;
        stop->click();
    });
    start->click();
    TAVO_test_windowParts::clickServerRow(&window, QStringLiteral("Bench (127.0.0.2)"));
    return share;
}

// Milliseconds from `begin` (run first) until `area` shows a picture, and until that picture
// moves, sampled every 10 ms while the event loop runs (also inside a start-up watch).
void watchStart(const QRect &area, const std::function<void()> &begin, StartTimes *times)
{
    QElapsedTimer clock;
    qint64 first = -1;
    qint64 moving = -1;
    QList<qint64> changes;
    QByteArray last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QByteArray sample = TAVO_test_screenVideo::sample(area);
        if (!TAVO_test_screenVideo::isPicture(sample) || moving >= 0)
            return;
        const qint64 at = clock.elapsed();
        if (first < 0)
            first = at;
        else if (sample != last)
            changes.append(at);
        last = sample;
        for (qsizetype i = 0; i < changes.size(); ++i) {
            if (changes.last() - changes.at(i) <= movingWindowMs && changes.size() - i >= movingChanges) {
                moving = changes.at(i);
                break;
            }
        }
    });
    poll.start(pollMs);
    clock.start();
    begin();
    TAVO_test_eventLoop::runUntil([&] { return moving >= 0; }, pictureTimeoutMs);
    times->firstPicture.append(first);
    times->movingPicture.append(moving);
}

void Bench::runClient(StartTimes *starts, KeyFigures *keys)
{
    const QRect area(window.videoWidget->mapToGlobal(QPoint(0, 0)), window.videoWidget->size());
    for (int run = 0; run < spreadStartRuns; ++run) {
        stop->click();
        TAVO_test_eventLoop::runFor(1000);
        watchStart(area, [this] { start->click(); }, starts);
        keysToPhoton(TAVO_test_screenVideo::pictureRect(area), keys);
    }
    stop->click();
    window.hide();
}

void Bench::runPlainLibvlc(KeyFigures *keys)
{
    for (int run = 0; run < startRuns; ++run)
        runPlainLibvlcOnce(streamUrl, {}, keys);
}

void Bench::runPlainLibvlcOnce(const QByteArray &url, const QList<QByteArray> &options, KeyFigures *keys,
                               StartTimes *starts)
{
    const QRect picture = TAVO_test_screenVideo::pictureRect(plainLibvlc.area());
    bool playing = true;
    if (starts)
        watchStart(plainLibvlc.area(), [&] { playing = plainLibvlc.play(url, options); }, starts);
    else
        playing = plainLibvlc.play(url, options);
    if (playing && waitForMarker(picture)) {
        keysToPhoton(picture, keys);
        keys->clockPidByStart << plainLibvlc.clockPid();
    }
    plainLibvlc.stop();
    TAVO_test_eventLoop::runFor(1000);
}

bool Bench::waitForMarker(const QRect &picture)
{
    return TAVO_test_eventLoop::runUntil([&] { return TAVO_test_screenVideo::markerSlot(picture) >= 0; },
                                         pictureTimeoutMs);
}

void startProcess(QProcess *process, const QStringList &command)
{
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(command.first(), command.mid(1));
}

void endProcess(QProcess *process)
{
    process->terminate();
    if (!process->waitForFinished(3000))
        process->kill();
    process->waitForFinished(3000);
    TAVO_test_eventLoop::runFor(1000);
}

void Bench::runExternal(const QStringList &command, int starts, StartTimes *startTimes, KeyFigures *keys,
                        const QProcessEnvironment &environment)
{
    const QRect picture = TAVO_test_screenVideo::pictureRect(externalPlayerArea);
    for (int run = 0; run < starts; ++run) {
        QProcess player;
        player.setProcessEnvironment(environment);
        watchStart(externalPlayerArea, [&] { startProcess(&player, command); }, startTimes);
        if (waitForMarker(picture))
            keysToPhoton(picture, keys);
        endProcess(&player);
    }
}

// Keys at irregular intervals, so that clicks fall on every phase of the 30 frames a second.
void Bench::keysToPhoton(const QRect &picture, KeyFigures *figures)
{
    if (!restartTap())
        return;
    const qsizetype before = figures->leavingToScreen.size();
    for (int press = 0; press < keysPerRun; ++press) {
        TAVO_test_eventLoop::runFor(300 + QRandomGenerator::global()->bounded(300));
        KeyTimes times;
        if (!pressKey(&times, picture))
            continue;
        figures->total << (times.screen - times.click) * 1000;
        figures->clickToBox << (times.box - times.click) * 1000;
        figures->boxToLeaving << (times.leaves - times.box) * 1000;
        figures->leavingToScreen << (times.screen - times.leaves) * 1000;
    }
    if (figures->leavingToScreen.size() > before)
        figures->shareByStart << median(figures->leavingToScreen.mid(before));
}

// Clicks the key and watches the screen closely, with the event loop running in between (the
// panel sends the command from it); false when the marker did not move on in time.
bool Bench::pressKey(KeyTimes *times, const QRect &picture)
{
    tap.read();
    const int before = TAVO_test_screenVideo::markerSlot(picture);
    if (before < 0 || before != tap.slot())
        return false;
    const int expected = (before + 1) % markerSlots;
    const int requestsBefore = sim.timedRequests(benchUuid).size();
    times->click = now();
    QTest::mouseClick(TAVO_test_windowParts::keyButton(panel, clickedKey), Qt::LeftButton);
    while (now() - times->click < keyTimeoutMs / 1000.0) {
        QCoreApplication::processEvents();
        tap.read();
        if (TAVO_test_screenVideo::markerSlot(picture) == expected) {
            times->screen = now();
            break;
        }
        QThread::usleep(500);
    }
    TAVO_test_eventLoop::runUntil([&] { tap.read(); return tap.slot() == expected; }, keyTimeoutMs);
    times->leaves = tap.changedAt();
    times->box = boxArrival(requestsBefore);
    return times->screen > 0 && tap.slot() == expected && times->box > 0;
}

double Bench::boxArrival(int requestsBefore) const
{
    const QList<TAVO_test_boxSim::Request> requests = sim.timedRequests(benchUuid).mid(requestsBefore);
    for (const TAVO_test_boxSim::Request &request : requests) {
        if (request.line.contains(QStringLiteral("&key=")))
            return request.receivedAt;
    }
    return 0;
}

// Delay creep: the client plays the boxes whose clocks run fast and slow for `minutes` each; the
// player's share is measured in the first minute and at the end, with the pictures lost in the
// first minute and over the whole time, and the times the client started the stream again.
// One box after the other: two encoders at once starve a small machine, and a starved player
// raises its delay for reasons of its own.
void Bench::runCreep(int minutes)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return;
    const QRect picture = TAVO_test_screenVideo::pictureRect(
        QRect(window.videoWidget->mapToGlobal(QPoint(0, 0)), window.videoWidget->size()));
    for (const ClockOffBoxInfo &box : clockOffBoxes) {
        const QString name = QStringLiteral("%1 ppm %2").arg(creepPpm).arg(box.fast ? "fast" : "slow");
        TAVO_test_windowParts::clickServerRow(&window, box.row);
        start->click();
        QElapsedTimer clock;
        clock.start();
        if (!waitForMarker(picture)) {
            row(QStringLiteral("Box %1: no picture").arg(name), QString());
            stop->click();
            continue;
        }
        ClockOffBox watched(box.address, picture);
        PictureTally pictures;
        OwnRestarts restarts(window);
        const auto playUntil = [&](qint64 elapsedMs) {
            while (clock.elapsed() < elapsedMs) {
                TAVO_test_eventLoop::runFor(1000);
                pictures.add(window.player->pictureCounts());
            }
        };
        const QList<double> firstShares = watched.shares();
        playUntil(60000);
        const int firstLost = pictures.lost;
        playUntil(minutes * 60000 - 20000);
        const QList<double> lastShares = watched.shares();
        pictures.add(window.player->pictureCounts());
        stop->click();
        TAVO_test_eventLoop::runFor(1000);
        row(QStringLiteral("Share, box %1: 1st min / after %2 min").arg(name).arg(minutes),
            QStringLiteral("%1 / %2").arg(medianOrNone(firstShares), medianOrNone(lastShares)), QString(),
            ratio(median(lastShares), median(firstShares)));
        row(QStringLiteral("  pictures lost: 1st min / all %1 min").arg(minutes),
            QStringLiteral("%1 / %2 of %3").arg(firstLost).arg(pictures.lost).arg(pictures.shown));
        const qsizetype clientRequests = streamRequests(box.uuid) - watched.tapRequests();
        row(QStringLiteral("  the client started it again"), QStringLiteral("%1 times: delay %2, cache %3")
                                                                    .arg(clientRequests - 1)
                                                                    .arg(restarts.delayCrept)
                                                                    .arg(restarts.longerCache));
        row(QStringLiteral("  the cache it kept for the box"),
            QStringLiteral("%1 ms").arg(TAVO_player_restartOwner::cachingFor(box.uuid)));
    }
}

qsizetype Bench::streamRequests(const QString &uuid) const
{
    return sim.requests(uuid).filter(QStringLiteral("8080 GET")).size();
}

ShownFrames Bench::playInClient(const QString &boxRow, qint64 playMs, int *restarted)
{
    ShownFrames shown;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !TAVO_test_windowParts::clickServerRow(&window, boxRow))
        return shown;
    const QRect picture = TAVO_test_screenVideo::pictureRect(
        QRect(window.videoWidget->mapToGlobal(QPoint(0, 0)), window.videoWidget->size()));
    OwnRestarts restarts(window);
    start->click();
    if (ShownFrames::waitForPicture(picture))
        shown.watch(picture, playMs);
    *restarted = restarts.delayCrept + restarts.longerCache;
    stop->click();
    window.hide();
    TAVO_test_eventLoop::runFor(1000);
    return shown;
}

// An external player on its own from its first picture on.
ShownFrames Bench::playExternal(const QStringList &command, qint64 playMs, const QProcessEnvironment &environment)
{
    ShownFrames shown;
    const QRect picture = TAVO_test_screenVideo::pictureRect(externalPlayerArea);
    QProcess player;
    player.setProcessEnvironment(environment);
    startProcess(&player, command);
    if (ShownFrames::waitForPicture(picture))
        shown.watch(picture, playMs);
    endProcess(&player);
    return shown;
}

// Pictures lost and shown over a minute from the first picture on, by libVLC's count and, into
// `shown`, by the frame numbers on the screen.
Stutter Bench::stutter(const QByteArray &url, const QList<QByteArray> &options, ShownFrames *shown)
{
    Stutter stutter;
    const QRect picture = TAVO_test_screenVideo::pictureRect(plainLibvlc.area());
    if (plainLibvlc.play(url, options) && ShownFrames::waitForPicture(picture)) {
        const libvlc_media_stats_t first = plainLibvlc.stats();
        const int raisesBefore = plainLibvlc.delayRaises();
        ShownFrames frames;
        frames.watch(picture, playSeconds() * 1000);
        if (shown)
            *shown = frames;
        const libvlc_media_stats_t last = plainLibvlc.stats();
        stutter = {last.i_lost_pictures - first.i_lost_pictures, last.i_displayed_pictures - first.i_displayed_pictures,
                   last.i_lost_abuffers - first.i_lost_abuffers, last.i_played_abuffers - first.i_played_abuffers,
                   plainLibvlc.delayRaises() - raisesBefore};
    }
    plainLibvlc.stop();
    TAVO_test_eventLoop::runFor(1000);
    return stutter;
}

QList<double> millisecondsOf(const QList<double> &values)
{
    QList<double> valid;
    for (double value : values) {
        if (value >= 0)
            valid << value;
    }
    return valid;
}

void startRows(const QString &figure, const QList<double> &client, const QList<double> &reference,
               const QString &referenceName)
{
    const double clientMedian = median(millisecondsOf(client));
    const double referenceMedian = median(millisecondsOf(reference));
    row(figure, ms(clientMedian), ms(referenceMedian) + QLatin1Char(' ') + referenceName,
        ratio(clientMedian, referenceMedian));
}

// Beside ffplay with its sound on, the fair bound for a player that keeps its sound in sync,
// and silent ffplay, the floor the stream allows.
void keyRows(const KeyFigures &client, const KeyFigures &ffplay, const KeyFigures &silentFfplay, const KeyFigures &cvlc,
             const KeyFigures &plain)
{
    const auto keyRow = [](const QString &figure, const QList<double> &clientValues,
                           const QList<double> &referenceValues, const QString &referenceName) {
        row(figure, medianAndP95(clientValues), medianAndP95(referenceValues) + QLatin1Char(' ') + referenceName,
            ratio(median(clientValues), median(referenceValues)) + QStringLiteral(" / ")
                + ratio(percentile95(clientValues), percentile95(referenceValues)));
    };
    const QString withSound = QStringLiteral("ffplay+sound");
    keyRow(QStringLiteral("Key to photon, median / p95 of %1 keys").arg(client.total.size()), client.total, ffplay.total,
           withSound);
    keyRow(QStringLiteral("  click to box"), client.clickToBox, ffplay.clickToBox, withSound);
    keyRow(QStringLiteral("  box: key to picture leaving (encoder)"), client.boxToLeaving, ffplay.boxToLeaving,
           withSound);
    keyRow(QStringLiteral("  picture leaving the box to screen"), client.leavingToScreen, ffplay.leavingToScreen,
           withSound);
    row(QStringLiteral("  that share by start, min / median / max of %1").arg(client.shareByStart.size()),
        spread(client.shareByStart), spread(ffplay.shareByStart) + QLatin1Char(' ') + withSound);
    keyRow(QStringLiteral("Key to photon, beside silent ffplay (floor)"), client.total, silentFfplay.total,
           QStringLiteral("ffplay -an"));
    keyRow(QStringLiteral("  picture leaving the box to screen"), client.leavingToScreen,
           silentFfplay.leavingToScreen, QStringLiteral("ffplay -an"));
    keyRow(QStringLiteral("Key to photon, beside cvlc"), client.total, cvlc.total, QStringLiteral("cvlc"));
    keyRow(QStringLiteral("Key to photon, beside libVLC's default cache"), client.total, plain.total,
           QStringLiteral("default"));
}

QString sharesWithClocks(const KeyFigures &keys)
{
    QStringList shares;
    for (qsizetype start = 0; start < keys.shareByStart.size(); ++start) {
        const int pid = keys.clockPidByStart.value(start, -1);
        shares << QString::number(qRound(keys.shareByStart.at(start)))
                      + (pid < 0 ? QString() : QStringLiteral(" (%1)").arg(pid));
    }
    return shares.join(QStringLiteral(", "));
}

// libVLC counts as lost only the pictures that came too late to its screen, not those it threw
// away unseen when it caught up with a stream that came late: the stream's own count tells.
QString stutterText(const Stutter &stutter)
{
    return QStringLiteral("%1 lost, %2 shown of %3; sound %4 lost, %5 played; delay raised %6 times")
        .arg(stutter.lost)
        .arg(stutter.shown)
        .arg(playSeconds() * framesPerSecond())
        .arg(stutter.lostSound)
        .arg(stutter.playedSound)
        .arg(stutter.delayRaises);
}

QString percentOrNone(double value)
{
    return value < 0 ? QStringLiteral("none") : percent(value);
}

// What one set of options lost and showed on both streams.
struct TriedSmoothness
{
    Stutter steady, hiccups;
    ShownFrames steadyShown, hiccupsShown;
};

// Where a player reads the stream of the box at `boxUrl` through the program's reader of it, with
// the clock given.
QByteArray readerUrl(const QByteArray &boxUrl, const QString &uuid, TAVO_mgr_streamTap::Clock clock)
{
    const QUrl box(QString::fromLatin1(boxUrl));
    TAVO_SERVER server;
    server.device.UDN = uuid;
    server.device.friendlyName = uuid;
    server.host = box.host();
    server.tavoStreamer.streamingPort = QString::number(box.port());
    return TAVO_mgr_streamServer::instance()->urlFor(server, clock).toLatin1();
}

// What the client's player reads for the box at `boxUrl`.
QByteArray clientUrl(const QByteArray &boxUrl, const QString &uuid)
{
    return readerUrl(boxUrl, uuid, TAVO_player_vlcPlayer::streamClock);
}

// A set of media options tried (TAVO_BENCH_TRY_OPTIONS): added to the client's, and played from
// the box, or through the program's reader of the box's stream when the set begins with "reader"
// (the box's clock as sent) or "reader-pictures" (the clock moved onto the pictures' stamps).
struct TriedSet
{
    static TriedSet of(const QString &text)
    {
        TriedSet set;
        set.name = text.isEmpty() ? QStringLiteral("(the client's)") : text;
        set.options = TAVO_player_vlcPlayer::liveStreamOptions();
        for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (word == QLatin1String("reader"))
                set.clock = TAVO_mgr_streamTap::Clock::AsSent;
            else if (word == QLatin1String("reader-pictures"))
                set.clock = TAVO_mgr_streamTap::Clock::OfPictures;
            else
                set.options << word.toLatin1();
        }
        return set;
    }
    // Where the set's player reads the stream of the box at `boxUrl`.
    QByteArray url(const QByteArray &boxUrl, const QString &uuid) const
    {
        return clock ? readerUrl(boxUrl, uuid, *clock) : boxUrl;
    }

    QString name;
    QList<QByteArray> options;
    std::optional<TAVO_mgr_streamTap::Clock> clock;
    KeyFigures keys;
    StartTimes starts;
    TriedSmoothness smoothness;
};

QString shownText(const ShownFrames &shown)
{
    return QStringLiteral("shown %1 after %2 s, %3 in the first %4 s")
        .arg(percentOrNone(shown.shownShare(settledFromMs, playSeconds() * 1000)))
        .arg(settledFromMs / 1000)
        .arg(percentOrNone(shown.shownShare(0, firstSecondsMs)))
        .arg(std::min(firstSecondsMs, qint64(playSeconds()) * 1000) / 1000);
}

// Media options to try beside the client's, without a rebuild: TAVO_BENCH_TRY_OPTIONS holds sets
// of options, the sets parted by ';', the options of a set by spaces (an empty set is the
// client's options alone). Each set is played with libVLC in turns with the others, so that a
// busy machine weighs on all of them alike; TAVO_BENCH_TRY_LOSS=1 adds the pictures lost and
// shown on both streams, by libVLC's count and by the screen's, again in turns.
void tryOptions(Bench *bench, const QString &sets)
{
    QList<TriedSet> tried;
    for (const QString &set : sets.split(QLatin1Char(';')))
        tried << TriedSet::of(set);
    for (int run = 0; run < spreadStartRuns; ++run) {
        for (TriedSet &set : tried)
            bench->runPlainLibvlcOnce(set.url(streamUrl, benchUuid), set.options, &set.keys, &set.starts);
    }
    bench->stopTap();
    const bool withLoss = qEnvironmentVariableIntValue("TAVO_BENCH_TRY_LOSS") == 1;
    if (withLoss) {
        for (TriedSet &set : tried)
            set.smoothness.steady = bench->stutter(set.url(streamUrl, benchUuid), set.options, &set.smoothness.steadyShown);
        for (TriedSet &set : tried)
            set.smoothness.hiccups =
                bench->stutter(set.url(hiccupStreamUrl, hiccupsUuid), set.options, &set.smoothness.hiccupsShown);
    }
    for (const TriedSet &set : std::as_const(tried)) {
        row(set.name, QStringLiteral("key %1").arg(medianAndP95(set.keys.total)),
            QStringLiteral("player %1").arg(medianAndP95(set.keys.leavingToScreen)));
        row(QStringLiteral("  start to first / moving picture"),
            QStringLiteral("%1 / %2").arg(medianOrNone(set.starts.firstPicture), medianOrNone(set.starts.movingPicture)),
            QStringLiteral("moving %1").arg(spread(set.starts.movingPicture)));
        row(QStringLiteral("  player by start (clock's pid)"), sharesWithClocks(set.keys));
        if (withLoss) {
            row(QStringLiteral("  lost, steady / with hiccups"), stutterText(set.smoothness.steady),
                stutterText(set.smoothness.hiccups));
            row(QStringLiteral("  screen, steady / with hiccups"), shownText(set.smoothness.steadyShown),
                shownText(set.smoothness.hiccupsShown));
        }
    }
}

// The share of the stream's pictures shown after a start's first seconds and in them, beside
// libVLC's defaults (the ratio column: the client's lead over them in points) and ffplay with
// its sound.
void shownRows(const QString &stream, const ShownFrames &client, const ShownFrames &defaults,
               const ShownFrames &ffplay)
{
    const qint64 playMs = playSeconds() * 1000;
    const QList<std::pair<qint64, qint64>> windows{{settledFromMs, playMs}, {0, firstSecondsMs}};
    for (const auto &[fromMs, toMs] : windows) {
        const double clientShare = client.shownShare(fromMs, toMs);
        const double defaultShare = defaults.shownShare(fromMs, toMs);
        row(QStringLiteral("Shown of carried, %1, %2-%3 s").arg(stream).arg(fromMs / 1000).arg(std::min(toMs, playMs) / 1000),
            percentOrNone(clientShare),
            QStringLiteral("%1 default, %2 ffplay+sound")
                .arg(percentOrNone(defaultShare), percentOrNone(ffplay.shownShare(fromMs, toMs))),
            clientShare < 0 || defaultShare < 0 ? QStringLiteral("-")
                                                : QString::asprintf("%+.1f pt", clientShare - defaultShare));
    }
}

QString freezeText(const ShownFrames &shown)
{
    if (shown.isEmpty())
        return QStringLiteral("no picture");
    const QList<qint64> freezes = shown.freezes();
    return freezes.isEmpty() ? QStringLiteral("none")
                             : QStringLiteral("%1, longest %2 ms")
                                   .arg(freezes.size())
                                   .arg(*std::max_element(freezes.cbegin(), freezes.cend()));
}

QString ownCache(const QString &uuid, int restarted)
{
    return QStringLiteral("cache %1 ms; started again %2 times")
        .arg(TAVO_player_restartOwner::cachingFor(uuid))
        .arg(restarted);
}

QStringList ffplayCommand(const QByteArray &url)
{
    return {"ffplay", "-hide_banner", "-loglevel", "error", "-fflags", "nobuffer", "-flags", "low_delay",
            "-framedrop", "-probesize", "32768", "-analyzeduration", "0", "-left", "0", "-top", "0",
            QString::fromLatin1(url)};
}

// No sound card here, and ALSA's null device swallows sound at once, so that ffplay's sound
// clock would race. SDL's disk output writes into nothing at the pace of the sound instead.
QProcessEnvironment pacedSound()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QStringLiteral("/dev/null"));
    return environment;
}

// cvlc as users run it (scripts/bench.sh says how).
QStringList cvlcCommand(const QByteArray &url)
{
    return qEnvironmentVariable("TAVO_BENCH_CVLC", QStringLiteral("cvlc")).split(QLatin1Char(' '), Qt::SkipEmptyParts)
           << QString::fromLatin1(url);
}

// Starts of a player to a moving picture by `command`, each then given keys straight to the
// long-group box when `shares` is asked for.
void externalStarts(const QStringList &command, int starts, const QProcessEnvironment &environment, StartTimes *times,
                    QList<double> *shares = nullptr, QList<double> *keys = nullptr)
{
    const QRect picture = TAVO_test_screenVideo::pictureRect(externalPlayerArea);
    for (int run = 0; run < starts; ++run) {
        QProcess player;
        player.setProcessEnvironment(environment);
        watchStart(externalPlayerArea, [&] { startProcess(&player, command); }, times);
        if (shares && TAVO_test_eventLoop::runUntil([&] { return TAVO_test_screenVideo::markerSlot(picture) >= 0; },
                                                    pictureTimeoutMs))
            *shares << ClockOffBox(longGroupAddress, picture).shares(keys);
        endProcess(&player);
    }
}

// The H.264 box whose pictures decode alone every 4 s: each player's starts to a moving picture
// (a tap keeps the box's encoder running, so that every start meets a stream under way), then
// keys sent straight to the box: key to photon, and the player's share of it.
void Bench::longGroupRows()
{
    StreamTap keeper;
    keeper.restart(longGroupStreamUrl);
    StartTimes client, ffplay, cvlc;
    QList<double> clientShares, clientKeys, ffplayShares, ffplayKeys;
    window.show();
    if (QTest::qWaitForWindowExposed(&window) && TAVO_test_windowParts::clickServerRow(&window, longGroupRow)) {
        const QRect area(window.videoWidget->mapToGlobal(QPoint(0, 0)), window.videoWidget->size());
        for (int run = 0; run < spreadStartRuns; ++run) {
            stop->click();
            TAVO_test_eventLoop::runFor(1000);
            watchStart(area, [this] { start->click(); }, &client);
            clientShares << ClockOffBox(longGroupAddress, TAVO_test_screenVideo::pictureRect(area)).shares(&clientKeys);
        }
        stop->click();
    }
    window.hide();
    externalStarts(ffplayCommand(longGroupStreamUrl), spreadStartRuns, pacedSound(), &ffplay, &ffplayShares,
                   &ffplayKeys);
    externalStarts(cvlcCommand(longGroupStreamUrl), startRuns, QProcessEnvironment::systemEnvironment(), &cvlc);
    keeper.stop();

    const QString name = QStringLiteral("H.264, %1 s GOP").arg(longGroupSeconds);
    const QString withSound = QStringLiteral("ffplay+sound");
    startRows(QStringLiteral("Start to first picture, %1 (median of %2)").arg(name).arg(spreadStartRuns),
              client.firstPicture, ffplay.firstPicture, withSound);
    startRows(QStringLiteral("Start to moving picture, %1 (median of %2)").arg(name).arg(spreadStartRuns),
              client.movingPicture, ffplay.movingPicture, withSound);
    startRows(QStringLiteral("Start to moving picture, %1, beside cvlc").arg(name), client.movingPicture,
              cvlc.movingPicture, QStringLiteral("cvlc"));
    row(QStringLiteral("Key to photon, %1, median / p95 of %2 keys").arg(name).arg(clientKeys.size()),
        medianAndP95(clientKeys), medianAndP95(ffplayKeys) + QLatin1Char(' ') + withSound,
        ratio(median(clientKeys), median(ffplayKeys)) + QStringLiteral(" / ")
            + ratio(percentile95(clientKeys), percentile95(ffplayKeys)));
    row(QStringLiteral("  picture leaving the box to screen"), medianAndP95(clientShares),
        medianAndP95(ffplayShares) + QLatin1Char(' ') + withSound,
        ratio(median(clientShares), median(ffplayShares)) + QStringLiteral(" / ")
            + ratio(percentile95(clientShares), percentile95(ffplayShares)));
}

// The sound-only box: from a player's start to its first sound, libVLC with the client's options
// reading through the program's reader, beside libVLC's defaults reading the box (a reader of the
// box's stream keeps its encoder running, so that every start meets a stream under way).
void Bench::soundOnlyRows()
{
    QProcess keeper;
    startProcess(&keeper, {QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"),
                           QStringLiteral("/dev/null"), QString::fromLatin1(radioStreamUrl)});
    const auto soundStarts = [](const QByteArray &url, const QList<QByteArray> &options) {
        PlainLibvlc player;
        player.listenForSound();
        QList<double> starts;
        for (int run = 0; run < spreadStartRuns; ++run) {
            if (player.play(url, options)
                && TAVO_test_eventLoop::runUntil([&] { return player.firstSoundMs() >= 0; }, pictureTimeoutMs))
                starts << player.firstSoundMs();
            player.stop();
            TAVO_test_eventLoop::runFor(1000);
        }
        return starts;
    };
    const QList<double> client
        = soundStarts(clientUrl(radioStreamUrl, radioUuid), TAVO_player_vlcPlayer::liveStreamOptions());
    const QList<double> defaults = soundStarts(radioStreamUrl, {});
    endProcess(&keeper);
    startRows(QStringLiteral("Start to sound, sound-only box (median of %1)").arg(spreadStartRuns), client, defaults,
              QStringLiteral("default"));
}

// The pictures each player loses and shows on the steady stream and the one with hiccups, the
// cache the client keeps for each box, and the freezes on the stream with hiccups. The players
// take turns: two at once starve a 2-core machine.
void smoothnessRows(Bench *bench)
{
    const qint64 playMs = playSeconds() * 1000;
    const QList<QByteArray> &options = TAVO_player_vlcPlayer::liveStreamOptions();
    const QString perPlay = QStringLiteral(" in %1 s").arg(playSeconds());
    ShownFrames steadyDefaults, hiccupsDefaults;
    row(QStringLiteral("Pictures lost, steady stream") + perPlay,
        stutterText(bench->stutter(clientUrl(streamUrl, benchUuid), options)),
        stutterText(bench->stutter(streamUrl, {}, &steadyDefaults)) + QStringLiteral(" default"));
    row(QStringLiteral("Pictures lost, stream with hiccups") + perPlay,
        stutterText(bench->stutter(clientUrl(hiccupStreamUrl, hiccupsUuid), options)),
        stutterText(bench->stutter(hiccupStreamUrl, {}, &hiccupsDefaults)) + QStringLiteral(" default"));
    const ShownFrames steadyFfplay = bench->playExternal(ffplayCommand(streamUrl), playMs, pacedSound());
    const ShownFrames hiccupsFfplay = bench->playExternal(ffplayCommand(hiccupStreamUrl), playMs, pacedSound());
    const QString steadyBox = QStringLiteral("Bench (127.0.0.2)");
    const QString hiccupsBox = QStringLiteral("Hiccups (127.0.0.4)");
    int restarted = 0;
    const ShownFrames steadyClient = bench->playInClient(steadyBox, playMs, &restarted);
    const QString steadyCache = ownCache(benchUuid, restarted);
    const ShownFrames hiccupsClient = bench->playInClient(hiccupsBox, playMs, &restarted);
    const QString hiccupsCache = ownCache(hiccupsUuid, restarted);
    // The box's longer cache is remembered: the next start plays with it from the first picture.
    const ShownFrames againClient = bench->playInClient(hiccupsBox, playMs, &restarted);
    const QString againCache = ownCache(hiccupsUuid, restarted);

    shownRows(QStringLiteral("steady stream"), steadyClient, steadyDefaults, steadyFfplay);
    shownRows(QStringLiteral("with hiccups"), hiccupsClient, hiccupsDefaults, hiccupsFfplay);
    row(QStringLiteral("Client's own cache after %1 s, steady stream").arg(playSeconds()), steadyCache);
    row(QStringLiteral("Client's own cache after %1 s, stream with hiccups").arg(playSeconds()), hiccupsCache);
    row(QStringLiteral("  the same box started again"), againCache + QStringLiteral("; ") + shownText(againClient));

    const int minutes = qEnvironmentVariableIsSet("TAVO_BENCH_FREEZE_MINUTES")
                            ? qEnvironmentVariableIntValue("TAVO_BENCH_FREEZE_MINUTES")
                            : freezeMinutes;
    if (minutes <= 0)
        return;
    const ShownFrames clientFreezes = bench->playInClient(hiccupsBox, minutes * 60000, &restarted);
    const ShownFrames cvlcFreezes = bench->playExternal(cvlcCommand(hiccupStreamUrl), minutes * 60000);
    row(QStringLiteral("Freezes of %1 s or more in %2 min, with hiccups").arg(freezeMs / 1000.0).arg(minutes),
        QStringLiteral("%1; started again %2 times").arg(freezeText(clientFreezes)).arg(restarted),
        freezeText(cvlcFreezes) + QStringLiteral(" cvlc"));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    Bench bench;
    if (!bench.setUp()) {
        std::fprintf(stderr, "the simulated boxes did not come up\n");
        return 1;
    }
    if (qEnvironmentVariableIsSet("TAVO_BENCH_TRY_OPTIONS")) {
        tryOptions(&bench, qEnvironmentVariable("TAVO_BENCH_TRY_OPTIONS"));
        return 0;
    }
    if (qEnvironmentVariableIntValue("TAVO_BENCH_CREEP") > 0) {
        bench.runCreep(qEnvironmentVariableIntValue("TAVO_BENCH_CREEP"));
        return 0;
    }
    if (qEnvironmentVariableIntValue("TAVO_BENCH_STREAMS") == 1) {
        bench.stopTap();
        bench.longGroupRows();
        bench.soundOnlyRows();
        return 0;
    }
    if (qEnvironmentVariableIntValue("TAVO_BENCH_SMOOTHNESS") == 1) {
        bench.stopTap();
        smoothnessRows(&bench);
        return 0;
    }
    QStringList silentFfplay = ffplayCommand(streamUrl);
    silentFfplay.insert(silentFfplay.size() - 1, QStringLiteral("-an"));
    const double idle = bench.idleCpu();
    const double starting = bench.startingCpu();
    StartTimes clientStarts, ffplayStarts, silentFfplayStarts, cvlcStarts;
    KeyFigures clientKeys, plainKeys, ffplayKeys, silentFfplayKeys, cvlcKeys;
    bench.runClient(&clientStarts, &clientKeys);
    bench.runPlainLibvlc(&plainKeys);
    bench.runExternal(ffplayCommand(streamUrl), spreadStartRuns, &ffplayStarts, &ffplayKeys, pacedSound());
    bench.runExternal(silentFfplay, startRuns, &silentFfplayStarts, &silentFfplayKeys);
    bench.runExternal(cvlcCommand(streamUrl), startRuns, &cvlcStarts, &cvlcKeys);
    bench.stopTap();

    keyRows(clientKeys, ffplayKeys, silentFfplayKeys, cvlcKeys, plainKeys);
    const QString ofRuns = QStringLiteral(" (median of %1)").arg(spreadStartRuns);
    startRows(QStringLiteral("Start to first picture") + ofRuns, clientStarts.firstPicture, ffplayStarts.firstPicture,
              QStringLiteral("ffplay+sound"));
    startRows(QStringLiteral("Start to first picture, beside cvlc"), clientStarts.firstPicture,
              cvlcStarts.firstPicture, QStringLiteral("cvlc"));
    startRows(QStringLiteral("Start to moving picture") + ofRuns, clientStarts.movingPicture,
              ffplayStarts.movingPicture, QStringLiteral("ffplay+sound"));
    startRows(QStringLiteral("Start to moving picture, beside cvlc"), clientStarts.movingPicture,
              cvlcStarts.movingPicture, QStringLiteral("cvlc"));

    smoothnessRows(&bench);
    bench.longGroupRows();
    bench.soundOnlyRows();
    row(QStringLiteral("CPU while a stream starts (of one core)"), percent(starting * 100));
    row(QStringLiteral("CPU while idle (of one core)"), percent(idle * 100));
    return 0;
}
