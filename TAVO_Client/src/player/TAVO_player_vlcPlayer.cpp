#include "TAVO_player_vlcPlayer.h"

#include "TAVO_mgr_streamServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <vlc/vlc.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include <malloc.h>

// Last of all: Xlib's macros (None, Bool, Status, …) would clash with names in Qt's headers.
#include <X11/Xlib.h>

Q_LOGGING_CATEGORY(lcStart, "tavo.player.start", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStop, "tavo.player.stop", QtInfoMsg)

namespace {

// Runs on libVLC's event thread: only the flag is touched, the watch reads it on the GUI thread.
void noteEncounteredError(const libvlc_event_t *, void *flag)
{
    static_cast<std::atomic_bool *>(flag)->store(true);
}

// One pass of a wait on the GUI thread: handles what is pending, or sleeps until an event
// arrives, but never longer than `ms`. Returning at once when nothing is pending would keep a
// whole core busy for as long as a stream takes to start.
void waitForEvents(int ms)
{
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The X11 root window: the whole desktop.
unsigned long desktopWindowId()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    return display ? DefaultRootWindow(display) : 0;
}

} // namespace

TAVO_player_vlcPlayer::TAVO_player_vlcPlayer(QWidget *parent)
    : mWindow(parent)
    , parentWidget(parent)
{
    const char *const arguments[] = {"--video-title-timeout=0"};
    vlcInstance.reset(libvlc_new(1, arguments));
    if (!vlcInstance) {
        QMessageBox::critical(parentWidget, QStringLiteral("Qt libVLC player"), QStringLiteral("Could not init libVLC"));
        std::fflush(nullptr);
        std::_Exit(1);
    }
    libvlc_log_set(vlcInstance.get(), logError, &libvlcLog);
    // Heard before the next line is read, so that the lines the missing device causes stay quiet.
    QObject::connect(&libvlcLog, &TAVO_player_vlcLog::soundOutputFailed, &sound, &TAVO_player_soundDevice::noteMissing,
                     Qt::DirectConnection);
    QObject::connect(&sound, &TAVO_player_soundDevice::missing, &sound, [this] { playPictureAlone(); });
    vol = 100;
}

// libVLC's threads write to the log until it is unset; the log goes before the instance.
TAVO_player_vlcPlayer::~TAVO_player_vlcPlayer()
{
    libvlc_log_unset(vlcInstance.get());
}

void TAVO_player_vlcPlayer::VlcRelease::operator()(libvlc_instance_t *instance) const
{
    libvlc_release(instance);
}

void TAVO_player_vlcPlayer::VlcRelease::operator()(libvlc_media_player_t *player) const
{
    libvlc_media_player_release(player);
}

void TAVO_player_vlcPlayer::VlcRelease::operator()(libvlc_media_t *media) const
{
    libvlc_media_release(media);
}

void TAVO_player_vlcPlayer::stopAndReleasePlayer(libvlc_media_player_t *player)
{
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
}

void TAVO_player_vlcPlayer::setStopping(Stopping newStopping)
{
    stopping = std::move(newStopping);
}

void TAVO_player_vlcPlayer::startPlay(const char *playPath)
{
    sound.lookAgain();
    if (!makePlayer(playPath))
        return;
    ++watching;
    const unsigned generation = playerGeneration;
    if (checkState() == 0 && generation == playerGeneration) {
        playing = true;
        reportsLoss = true;
        initAudioTrack();
        initSubtitleTrack();
    }
    --watching;
}

void TAVO_player_vlcPlayer::startQuietly(const char *playPath)
{
    if (makePlayer(playPath))
        reportsLoss = true;
}

bool TAVO_player_vlcPlayer::makePlayer(const char *playPath)
{
    const bool given = playPath && *playPath;
    VlcReference<libvlc_media_t> media(given ? libvlc_media_new_location(vlcInstance.get(), playPath) : nullptr);
    if (!media)
        return false;
    for (const QByteArray &option : liveStreamOptions())
        libvlc_media_add_option(media.get(), option.constData());
    // A later option of the same name wins.
    if (boxMediaOptions) {
        for (const QByteArray &option : boxMediaOptions())
            libvlc_media_add_option(media.get(), option.constData());
    }
    const char *audioOutput = sound.audioOutputForNewPlayer();
    encounteredError = false;
    startUpTimedOut = false;
    playing = false;
    reportsLoss = false;
    location = QString::fromLatin1(playPath);
    libvlcLog.newStream();
    vlcPlayer.reset(libvlc_media_player_new_from_media(media.get()));
    media.reset();
    if (!vlcPlayer)
        return false;
    if (audioOutput)
        libvlc_audio_output_set(vlcPlayer.get(), audioOutput);
    ++playerGeneration;
    libvlc_event_manager_t *eventManager = libvlc_media_player_event_manager(vlcPlayer.get());
    // Without this a refused key or password often looks like a stream that merely ended: libVLC
    // passes through its error state within milliseconds, too briefly for the watch to see it.
    libvlc_event_attach(eventManager, libvlc_MediaPlayerEncounteredError, noteEncounteredError, &encounteredError);
    for (const libvlc_event_e type :
         {libvlc_MediaPlayerPlaying, libvlc_MediaPlayerEndReached, libvlc_MediaPlayerEncounteredError})
        libvlc_event_attach(eventManager, type, onPlayerEvent, this);
    drawInto(drawingArea()->winId());
    libvlc_video_set_mouse_input(vlcPlayer.get(), 1);
    // Asks for teletext page 100; the former toggle has nothing to act on before playback starts.
    libvlc_video_set_teletext(vlcPlayer.get(), 100);
    applySound();
    libvlc_media_player_play(vlcPlayer.get());
    setAspectRatio(QStringLiteral("16:9"));
    return true;
}

// Runs on libVLC's event thread: the notice goes to the GUI thread, tagged with the player it
// is about. A player sends nothing once released, so the tag read here is its own.
void TAVO_player_vlcPlayer::onPlayerEvent(const libvlc_event_t *event, void *self)
{
    auto *player = static_cast<TAVO_player_vlcPlayer *>(self);
    const unsigned generation = player->playerGeneration;
    const PlayerEvent kind = event->type == libvlc_MediaPlayerPlaying ? PlayerEvent::Playing : PlayerEvent::Gone;
    QMetaObject::invokeMethod(
        player->parentWidget, [player, generation, kind] { player->playerEvent(generation, kind); },
        Qt::QueuedConnection);
}

void TAVO_player_vlcPlayer::playerEvent(unsigned generation, PlayerEvent event)
{
    if (generation != playerGeneration || !vlcPlayer)
        return;
    if (event == PlayerEvent::Playing) {
        playing = true;
        if (watching == 0)
            Q_EMIT events.back();
        return;
    }
    playing = false;
    if (watching != 0 || !reportsLoss)
        return;
    reportsLoss = false;
    Q_EMIT events.lost();
}

TAVO_player_streamEvents *TAVO_player_vlcPlayer::streamEvents()
{
    return &events;
}

TAVO_player_vlcLog *TAVO_player_vlcPlayer::vlcLog()
{
    return &libvlcLog;
}

TAVO_player_soundDevice *TAVO_player_vlcPlayer::soundDevice()
{
    return &sound;
}

// Without a sound device the current stream's sound is turned off; later streams play into
// libVLC's dummy output from the start.
void TAVO_player_vlcPlayer::playPictureAlone()
{
    if (vlcPlayer)
        libvlc_audio_set_track(vlcPlayer.get(), -1);
}

// libVLC's log callback, on its threads: only its error lines are read.
void TAVO_player_vlcPlayer::logError(void *log, int level, const vlc_log_t *context, const char *format,
                                     va_list arguments)
{
    if (level < LIBVLC_ERROR)
        return;
    char text[2048];
    std::vsnprintf(text, sizeof text, format, arguments);
    const char *objectType = nullptr;
    libvlc_log_get_object(context, &objectType, nullptr, nullptr);
    static_cast<TAVO_player_vlcLog *>(log)->errorLine(objectType, text);
}

int TAVO_player_vlcPlayer::raisedDelayMs() const
{
    return libvlcLog.raisedDelayMs();
}

TAVO_player_vlcPlayer::Failure TAVO_player_vlcPlayer::lastFailure() const
{
    if (startUpTimedOut)
        return Failure::noAnswer(startUpLimitMs);
    const Failure ofReader = TAVO_mgr_streamServer::instance()->failureOf(location);
    return ofReader.isEmpty() ? libvlcLog.failure(QUrl(location).host()) : ofReader;
}

bool TAVO_player_vlcPlayer::isPlaying() const
{
    return vlcPlayer && playing;
}

std::optional<libvlc_media_stats_t> TAVO_player_vlcPlayer::mediaStats() const
{
    if (!vlcPlayer)
        return std::nullopt;
    const VlcReference<libvlc_media_t> media(libvlc_media_player_get_media(vlcPlayer.get()));
    libvlc_media_stats_t stats{};
    if (!media || !libvlc_media_get_stats(media.get(), &stats))
        return std::nullopt;
    return stats;
}

qint64 TAVO_player_vlcPlayer::bytesRead() const
{
    const std::optional<libvlc_media_stats_t> stats = mediaStats();
    return stats ? stats->i_read_bytes : -1;
}

std::optional<TAVO_player_vlcPlayer::PictureCounts> TAVO_player_vlcPlayer::pictureCounts() const
{
    const std::optional<libvlc_media_stats_t> stats = mediaStats();
    if (!stats)
        return std::nullopt;
    const libvlc_time_t playedMs = libvlc_media_player_get_time(vlcPlayer.get());
    const double rate = framesPerSecond();
    const int carried = playedMs > 0 ? int(double(playedMs) * rate / 1000) : 0;
    return PictureCounts{stats->i_lost_pictures, stats->i_displayed_pictures, carried};
}

// The picture's frame rate, once libVLC knows it; 0 before.
double TAVO_player_vlcPlayer::framesPerSecond() const
{
    const VlcReference<libvlc_media_t> media(libvlc_media_player_get_media(vlcPlayer.get()));
    libvlc_media_track_t **tracks = nullptr;
    const unsigned count = media ? libvlc_media_tracks_get(media.get(), &tracks) : 0;
    double rate = 0;
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t *track = tracks[i];
        if (track->i_type == libvlc_track_video && track->video->i_frame_rate_den > 0)
            rate = double(track->video->i_frame_rate_num) / track->video->i_frame_rate_den;
    }
    if (count > 0)
        libvlc_media_tracks_release(tracks, count);
    return rate;
}

void TAVO_player_vlcPlayer::stopPlay()
{
    stopPlayer(false);
}

void TAVO_player_vlcPlayer::stopPlayer(bool keepPicture)
{
    // A box of a start-up watch speaks of the stream that ends here.
    if (stateBox)
        stateBox->done(QMessageBox::Ok);
    if (!vlcPlayer)
        return;
    detachEvents();
    stopOffTheGuiThread(vlcPlayer.release());
    // What the stream's threads freed goes back to the system, not only to glibc's arenas.
    malloc_trim(0);
    playing = false;
    reportsLoss = false;
    ++playerGeneration;
    // libVLC's window inside the video area is gone, but the X server keeps its last picture
    // there until the area is painted again.
    if (!keepPicture)
        drawingArea()->update();
}

// A player left to its thread tells nothing more: its notices would speak of a stream that is gone,
// maybe to a player object that is gone too.
void TAVO_player_vlcPlayer::detachEvents()
{
    libvlc_event_manager_t *eventManager = libvlc_media_player_event_manager(vlcPlayer.get());
    libvlc_event_detach(eventManager, libvlc_MediaPlayerEncounteredError, noteEncounteredError, &encounteredError);
    for (const libvlc_event_e type :
         {libvlc_MediaPlayerPlaying, libvlc_MediaPlayerEndReached, libvlc_MediaPlayerEncounteredError})
        libvlc_event_detach(eventManager, type, onPlayerEvent, this);
}

// The stop joins the player's threads. It normally returns within milliseconds, and the window
// waits for it, so that a recording's file is closed when the stop returns; one that does not
// return within the limit is left to its thread, which releases the player if it ever does.
void TAVO_player_vlcPlayer::stopOffTheGuiThread(libvlc_media_player_t *player)
{
    auto stopped = std::make_shared<std::promise<void>>();
    const std::future<void> done = stopped->get_future();
    std::thread([stop = stopping.stopAndRelease, player, stopped] {
        stop(player);
        stopped->set_value();
    }).detach();
    if (done.wait_for(std::chrono::milliseconds(stopping.limitMs)) == std::future_status::timeout)
        qCDebug(lcStop) << "The player did not stop within" << stopping.limitMs << "ms: left to its thread";
}

int TAVO_player_vlcPlayer::checkState()
{
    return watchStartUp(true);
}

// Returns 0 once the stream plays, 1 when it failed, ended or was stopped, or when a Stop or
// another Start took over while the event loop ran. The media reference is the watch's own: it
// stays valid when the player is released under the watch.
int TAVO_player_vlcPlayer::watchStartUp(bool showStates)
{
    if (!vlcPlayer)
        return 1;
    const unsigned generation = playerGeneration;
    const VlcReference<libvlc_media_t> media(libvlc_media_player_get_media(vlcPlayer.get()));
    if (!media)
        return 1;
    const QDeadlineTimer startUpLimit(startUpLimitMs);
    for (;;) {
        waitForEvents(100);
        if (generation != playerGeneration)
            return 1;
        const libvlc_state_t state = libvlc_media_get_state(media.get());
        if (state == libvlc_Playing)
            return 0;
        // A box that takes the connection and then sends nothing would be waited for in
        // silence for ever; the user hears of it as of any failed start.
        if (startUpLimit.hasExpired()) {
            qCDebug(lcStart) << "No picture within" << startUpLimitMs << "ms";
            stopPlay();
            startUpTimedOut = true;
            showStartUpState(showStates, "Error", lastFailure().explanation);
            return 1;
        }
        if (state == libvlc_Error || (encounteredError && (state == libvlc_Ended || state == libvlc_Stopped))) {
            showStartUpState(showStates, "Error", lastFailure().explanation);
            return 1;
        }
        switch (state) {
        case libvlc_Buffering:
            showStartUpState(showStates, "Buffering");
            break;
        case libvlc_Paused:
            showStartUpState(showStates, "Paused");
            break;
        case libvlc_Ended:
            showStartUpState(showStates, "Ended");
            return 1;
        case libvlc_Stopped:
            return 1;
        default:
            break;
        }
    }
}

void TAVO_player_vlcPlayer::showStartUpState(bool show, const char *text, const QString &why)
{
    if (!show)
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Message"), QString::fromLatin1(text),
                    QMessageBox::Ok, parentWidget);
    box.setInformativeText(why);
    stateBox = &box;
    box.exec();
}

void TAVO_player_vlcPlayer::initAudioTrack()
{
    if (watchStartUp(false) != 0)
        return;
    // Asking for the descriptions makes libVLC take stock of the tracks; nothing is kept.
    libvlc_track_description_list_release(libvlc_audio_get_track_description(vlcPlayer.get()));
    libvlc_audio_get_track(vlcPlayer.get());
}

void TAVO_player_vlcPlayer::initSubtitleTrack()
{
    if (watchStartUp(false) != 0)
        return;
    libvlc_track_description_list_release(libvlc_video_get_spu_description(vlcPlayer.get()));
}

void TAVO_player_vlcPlayer::setAudioTrack(int iAudioTrack)
{
    const int total = libvlc_audio_get_track_count(vlcPlayer.get());
    const int current = libvlc_audio_get_track(vlcPlayer.get());
    if (iAudioTrack != current && total > 2)
        libvlc_audio_set_track(vlcPlayer.get(), iAudioTrack);
}

void TAVO_player_vlcPlayer::setSubtitleTrack(int iSubtitleTrack)
{
    const int total = libvlc_video_get_spu_count(vlcPlayer.get());
    const int current = libvlc_video_get_spu(vlcPlayer.get());
    if (iSubtitleTrack != current && total > 0)
        libvlc_video_set_spu(vlcPlayer.get(), iSubtitleTrack);
}

void TAVO_player_vlcPlayer::setVolumeUp()
{
    changeVolume(10);
}

void TAVO_player_vlcPlayer::setVolumeDown()
{
    changeVolume(-10);
}

// The player decides which levels it accepts; vol follows the level it really has. Before the
// audio output exists the player has no level (it answers -1), and vol keeps the asked one.
void TAVO_player_vlcPlayer::changeVolume(int step)
{
    if (vlcPlayer)
        setVolume(vol + step);
}

int TAVO_player_vlcPlayer::volume() const
{
    return vol;
}

void TAVO_player_vlcPlayer::setVolume(int percent)
{
    vol = percent;
    if (!vlcPlayer)
        return;
    libvlc_audio_set_volume(vlcPlayer.get(), vol);
    const int level = libvlc_audio_get_volume(vlcPlayer.get());
    if (level >= 0)
        vol = level;
}

void TAVO_player_vlcPlayer::setMuted(bool muted)
{
    mute = muted;
    if (vlcPlayer)
        libvlc_audio_set_mute(vlcPlayer.get(), mute);
}

bool TAVO_player_vlcPlayer::isMuted() const
{
    return mute;
}

int TAVO_player_vlcPlayer::outputVolume() const
{
    return vlcPlayer ? libvlc_audio_get_volume(vlcPlayer.get()) : -1;
}

// A player made for a start begins at libVLC's full level: it gets the client's.
void TAVO_player_vlcPlayer::applySound()
{
    libvlc_audio_set_volume(vlcPlayer.get(), vol);
    libvlc_audio_set_mute(vlcPlayer.get(), mute);
}

void TAVO_player_vlcPlayer::setTeletextPage(int iPage)
{
    libvlc_video_set_teletext(vlcPlayer.get(), iPage);
    qDebug() << libvlc_video_get_teletext(vlcPlayer.get());
}

void TAVO_player_vlcPlayer::setAspectRatio(QString aspectRatio)
{
    libvlc_video_set_aspect_ratio(vlcPlayer.get(), aspectRatio.toLatin1().constData());
}

void TAVO_player_vlcPlayer::setToFullscreen()
{
    drawInto(desktopWindowId());
}

void TAVO_player_vlcPlayer::setToNormalscreen()
{
    drawInto(drawingArea()->winId());
}

void TAVO_player_vlcPlayer::setVideoArea(QWidget *area)
{
    videoArea = area;
}

QWidget *TAVO_player_vlcPlayer::drawingArea() const
{
    return videoArea ? videoArea.data() : mWindow;
}

void TAVO_player_vlcPlayer::drawInto(unsigned long windowId)
{
    libvlc_media_player_set_xwindow(vlcPlayer.get(), static_cast<uint32_t>(windowId));
}

int TAVO_player_vlcPlayer::getWidth()
{
    return videoSize().width();
}

int TAVO_player_vlcPlayer::getHeight()
{
    return videoSize().height();
}

// The size of the first video track; 0 × 0 while there is none.
QSize TAVO_player_vlcPlayer::videoSize() const
{
    unsigned width = 0;
    unsigned height = 0;
    libvlc_video_get_size(vlcPlayer.get(), 0, &width, &height);
    return QSize(static_cast<int>(width), static_cast<int>(height));
}

// Measured with scripts/bench.sh (docs/latency.md). The http access would otherwise let libVLC
// pace the stream as a file's, which keeps whatever delay a start settled on and never follows a
// box whose clock runs fast or slow; synchronised to the stream as a live one, libVLC's clock
// follows the box's, and a start settles on a shorter delay. The client asks a lost stream again
// itself (TAVO_mgr_streamKeeper), so the network cache (libVLC's default is 1000 ms) counts.
// The stream comes from the program's reader of the box's stream, which starts every player at
// the stream's tables and a picture that decodes alone, and moves the box's clock (PCR, some
// 0.75 s behind the pictures and 0.55 s behind the sound) onto the stamps of what the box sends
// (streamClock): libVLC's own transport stream demuxer then knows the tracks at once, trusts one
// steady clock, and shows the first picture within some 0.4 s. Read from the box itself it took
// its clock from whichever track came first (a start in six played 0.2 s later), and FFmpeg's
// demuxer, steady but probing, showed the first picture after some 0.95 s. FFmpeg's decoders
// write their own complaints (a picture cut off by a Stop) straight to the terminal unless
// libVLC's modules of the stream are quiet; libVLC's own lines still reach the client's log.
const QList<QByteArray> &TAVO_player_vlcPlayer::liveStreamOptions()
{
    static const QList<QByteArray> options{":network-caching=" + QByteArray::number(liveNetworkCachingMs), ":demux=ts",
                                           ":quiet", ":clock-synchro=1"};
    return options;
}

bool TAVO_player_vlcPlayer::isIdle() const
{
    return vlcPlayer == nullptr;
}

void TAVO_player_vlcPlayer::setBoxMediaOptionsChooser(std::function<QList<QByteArray>()> chooser)
{
    boxMediaOptions = std::move(chooser);
}

void TAVO_player_vlcPlayer::restartQuietly()
{
    if (!vlcPlayer)
        return;
    const QByteArray again = location.toLatin1();
    stopPlayer(true);
    startQuietly(again.constData());
}

// libVLC says yes at once but writes nothing when its video output hands over no picture within
// its time limit (on a busy machine): the file tells, and the next picture is asked for.
bool TAVO_player_vlcPlayer::takeSnapshot(const QString &path)
{
    constexpr int attempts = 3;
    for (int attempt = 0; vlcPlayer && attempt < attempts; ++attempt) {
        if (libvlc_video_take_snapshot(vlcPlayer.get(), 0, QFile::encodeName(path).constData(), 0, 0) == 0
            && QFileInfo(path).size() > 0)
            return true;
    }
    return false;
}
