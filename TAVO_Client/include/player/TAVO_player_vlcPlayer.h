#ifndef TAVO_PLAYER_VLCPLAYER_H
#define TAVO_PLAYER_VLCPLAYER_H

#include <QPointer>
#include <QSize>
#include <QString>

#include <atomic>

class QMessageBox;
class QWidget;
class TAVO_ui_mainWindow;
struct libvlc_instance_t;
struct libvlc_media_player_t;

// Plays one stream location at a time into the main window's video area with libVLC.
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
    int getWidth();
    int getHeight();

    // The last known volume in percent.
    int volume() const;
    // True while no player exists.
    bool isIdle() const;

private:
    int watchStartUp(bool showStates);
    void showStartUpState(bool show, const char *text);
    QSize videoSize() const;
    void changeVolume(int step);
    void drawInto(unsigned long windowId);

    TAVO_ui_mainWindow *mWindow;
    QWidget *parentWidget;
    libvlc_instance_t *vlcInstance = nullptr;
    libvlc_media_player_t *vlcPlayer = nullptr;
    int vol = 100;
    // Changes whenever vlcPlayer does, so a start-up watch notices that it was overtaken.
    unsigned playerGeneration = 0;
    // Set on libVLC's event thread, read by the start-up watch on the GUI thread.
    std::atomic_bool encounteredError{false};
    QPointer<QMessageBox> stateBox;
};

#endif
