#include "TAVO_player_vlcPlayer.h"

#include "TAVO_ui_mainWindow.h"

TAVO_player_vlcPlayer::TAVO_player_vlcPlayer(QWidget *parent)
    : mWindow(static_cast<TAVO_ui_mainWindow *>(parent))
    , parentWidget(parent)
{
}

TAVO_player_vlcPlayer::~TAVO_player_vlcPlayer() = default;
void TAVO_player_vlcPlayer::startPlay(const char *) {}
void TAVO_player_vlcPlayer::stopPlay() {}
int TAVO_player_vlcPlayer::checkState() { return 1; }
void TAVO_player_vlcPlayer::initAudioTrack() {}
void TAVO_player_vlcPlayer::initSubtitleTrack() {}
void TAVO_player_vlcPlayer::setAudioTrack(int) {}
void TAVO_player_vlcPlayer::setSubtitleTrack(int) {}
void TAVO_player_vlcPlayer::setVolumeUp() {}
void TAVO_player_vlcPlayer::setVolumeDown() {}
void TAVO_player_vlcPlayer::setTeletextPage(int) {}
void TAVO_player_vlcPlayer::setAspectRatio(QString) {}
void TAVO_player_vlcPlayer::setToFullscreen() {}
void TAVO_player_vlcPlayer::setToNormalscreen() {}
int TAVO_player_vlcPlayer::getWidth() { return 0; }
int TAVO_player_vlcPlayer::getHeight() { return 0; }
