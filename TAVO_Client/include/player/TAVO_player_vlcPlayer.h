#ifndef TAVO_PLAYER_VLCPLAYER_H
#define TAVO_PLAYER_VLCPLAYER_H

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_tuningRules.h"
#include "TAVO_player_soundDevice.h"
#include "TAVO_player_streamEvents.h"
#include "TAVO_player_vlcLog.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdarg>
#include <functional>
#include <memory>
#include <optional>

class QMessageBox;
class QWidget;
struct libvlc_instance_t;
struct libvlc_media_t;
struct libvlc_media_player_t;
struct libvlc_media_stats_t;
struct libvlc_event_t;
struct vlc_log_t;

// Plays one stream location at a time into the main window's video area with libVLC. It knows
// the window only as a widget: the window hands it its video area.
class TAVO_player_vlcPlayer
{
public:
    // A start that has not reached playing after this long has failed.
    static constexpr int startUpLimitMs = 15000;

    explicit TAVO_player_vlcPlayer(QWidget *parent);
    ~TAVO_player_vlcPlayer();

    TAVO_player_vlcPlayer(const TAVO_player_vlcPlayer &) = delete;
    TAVO_player_vlcPlayer &operator=(const TAVO_player_vlcPlayer &) = delete;

    // Starts playing and returns once playback has begun or failed; the event loop runs meanwhile.
    void startPlay(const char *playPath);
    // Stops and releases the current player; harmless when nothing plays.
    void stopPlay();

    int checkState();
    void initAudioTrack();
    void initSubtitleTrack();
    void setAudioTrack(int iAudioTrack);
    void setSubtitleTrack(int iSubtitleTrack);
    void setVolumeUp();
    void setVolumeDown();
    void setTeletextPage(int iPage);
    void setAspectRatio(QString aspectRatio);
    void setToFullscreen();
    void setToNormalscreen();
    // Where the picture is drawn outside full screen: the window's video area, once the window's
    // widgets exist; the window itself until then.
    void setVideoArea(QWidget *area);
    int getWidth();
    int getHeight();

    // The last known volume in percent.
    int volume() const;
    // The level and the mute are the client's own: kept without a player, and given to every
    // new one.
    void setVolume(int percent);
    void setMuted(bool muted);
    bool isMuted() const;
    // The level libVLC's audio output has (-1 without a player or an audio output).
    int outputVolume() const;
    // True while no player exists.
    bool isIdle() const;
    // True once the current player's stream has begun to play.
    bool isPlaying() const;
    // How much of the stream the current player has read; -1 when that is not known.
    qint64 bytesRead() const;
    // The current player's pictures so far (TAVO_mgr_tuningRules::PictureCounts); none without
    // a player.
    using PictureCounts = TAVO_mgr_tuningRules::PictureCounts;
    std::optional<PictureCounts> pictureCounts() const;
    // The delay libVLC raised the current stream's to, in ms (TAVO_player_vlcLog::raisedDelayMs).
    int raisedDelayMs() const;

    // Why the last start failed, as far as libVLC's error lines tell: a short reason for the
    // status line, and the reason with what the user can do about it for a message box; both
    // empty when the cause is unknown.
    using Failure = TAVO_player_vlcLog::Failure;
    Failure lastFailure() const;

    // Starts the location without watching it and returns at once: no message boxes. The stream
    // events tell when it plays or fails.
    void startQuietly(const char *playPath);
    // Where a stream that ends or fails by itself, or a quiet start that plays, is told.
    TAVO_player_streamEvents *streamEvents();
    // Where libVLC's errors are told, by kind.
    TAVO_player_vlcLog *vlcLog();
    // Where a missing sound device is told.
    TAVO_player_soundDevice *soundDevice();

    // libVLC options given to every stream's media (":name=value"): a box's stream is live, so
    // its picture is shown as soon as the network allows instead of after a second's cache.
    static const QList<QByteArray> &liveStreamOptions();
    // The clock the program's reader of a box's stream gives the player (TAVO_mgr_streamTap).
    static constexpr TAVO_mgr_streamTap::Clock streamClock = TAVO_mgr_streamTap::Clock::OfPictures;
    // Their network cache, the shortest a box's stream is given.
    static constexpr int liveNetworkCachingMs = TAVO_mgr_tuningRules::shortestCachingMs;

    // Asked at every start for the options of that start's box, added after the live-stream
    // ones (its network cache); none when none is set.
    void setBoxMediaOptionsChooser(std::function<QList<QByteArray>()> chooser);
    // Starts the current location again, quietly, so that the options now set take effect. The
    // area keeps its picture until the new player draws; read through the program's reader of the
    // box's stream, the new player gets the newest picture that decodes alone at once, and the box
    // is not asked again.
    void restartQuietly();
    // Saves the current picture, at the stream's own size, as a PNG file at `path`; false when
    // libVLC has no picture to give.
    bool takeSnapshot(const QString &path);

    // How a player is stopped and released, off the GUI thread, and how long the window waits
    // for that: a player whose video thread spins (its X server gone) never returns from its stop,
    // and is then left to its thread while the window goes on.
    struct Stopping
    {
        std::function<void(libvlc_media_player_t *)> stopAndRelease = stopAndReleasePlayer;
        int limitMs = 3000;
    };
    void setStopping(Stopping stopping);

private:
    enum class PlayerEvent { Playing, Gone };

    // Gives a libVLC reference back when its holder goes.
    struct VlcRelease
    {
        void operator()(libvlc_instance_t *instance) const;
        void operator()(libvlc_media_player_t *player) const;
        void operator()(libvlc_media_t *media) const;
    };
    template <typename T>
    using VlcReference = std::unique_ptr<T, VlcRelease>;

    static void stopAndReleasePlayer(libvlc_media_player_t *player);
    // Stops the current player; the area keeps its last picture for the next player to draw over
    // when `keepPicture` says so.
    void stopPlayer(bool keepPicture);
    bool makePlayer(const char *playPath);
    void detachEvents();
    void stopOffTheGuiThread(libvlc_media_player_t *player);
    std::optional<libvlc_media_stats_t> mediaStats() const;
    double framesPerSecond() const;
    void playerEvent(unsigned generation, PlayerEvent event);
    void playPictureAlone();
    static void onPlayerEvent(const libvlc_event_t *event, void *self);
    static void logError(void *log, int level, const vlc_log_t *context, const char *format, va_list arguments);
    int watchStartUp(bool showStates);
    void showStartUpState(bool show, const char *text, const QString &why = QString());
    QSize videoSize() const;
    void changeVolume(int step);
    void applySound();
    void drawInto(unsigned long windowId);
    QWidget *drawingArea() const;

    // The window the player plays in.
    QWidget *mWindow;
    QPointer<QWidget> videoArea;
    QWidget *parentWidget;
    VlcReference<libvlc_instance_t> vlcInstance;
    VlcReference<libvlc_media_player_t> vlcPlayer;
    int vol = 100;
    bool mute = false;
    // Changes whenever vlcPlayer does, so a start-up watch notices that it was overtaken. Read
    // on libVLC's event thread to tag its notices.
    std::atomic_uint playerGeneration{0};
    // A start-up watch runs (startPlay has not returned): it reports the stream's fate itself.
    int watching = 0;
    bool playing = false;
    bool startUpTimedOut = false;
    // The current player's loss is told as a lost stream (once).
    bool reportsLoss = false;
    TAVO_player_streamEvents events;
    TAVO_player_soundDevice sound;
    TAVO_player_vlcLog libvlcLog{&sound};
    std::function<QList<QByteArray>()> boxMediaOptions;
    // The current player's location: it names the box, and for an encrypted stream its
    // password, which is never shown.
    QString location;
    // Set on libVLC's event thread, read by the start-up watch on the GUI thread.
    std::atomic_bool encounteredError{false};
    QPointer<QMessageBox> stateBox;
    Stopping stopping;
};

#endif
