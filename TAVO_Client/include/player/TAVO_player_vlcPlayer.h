#ifndef TAVO_PLAYER_VLCPLAYER_H
#define TAVO_PLAYER_VLCPLAYER_H

#include <QString>

class QWidget;
class TAVO_ui_mainWindow;
struct libvlc_instance_t;
struct libvlc_media_player_t;

// Plays one stream location at a time into the main window's video area with libVLC.
class TAVO_player_vlcPlayer
{
public:
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

private:
    TAVO_ui_mainWindow *mWindow;
    QWidget *parentWidget;
    libvlc_instance_t *vlcInstance = nullptr;
    libvlc_media_player_t *vlcPlayer = nullptr;
    int vol = 100;
};

#endif
