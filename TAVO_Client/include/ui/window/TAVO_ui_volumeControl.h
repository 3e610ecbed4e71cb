#ifndef TAVO_UI_VOLUMECONTROL_H
#define TAVO_UI_VOLUMECONTROL_H

#include <QString>
#include <QTimer>
#include <QWidget>

class QSlider;
class QStatusBar;
class QToolButton;
class QWheelEvent;
class TAVO_player_vlcPlayer;
class TAVO_ui_windowKeyboard;

// The client's own sound (not the box's VOL keys): a mute button and a level slider on the
// status line under the buttons, the mouse wheel over the picture, and the window's keys for
// mute, louder and softer (M, Ctrl+Up, Ctrl+Down), in full screen too. The status line shows the
// level while it changes; level and mute are kept for the next start.
class TAVO_ui_volumeControl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int maximumPercent = 125;
    static constexpr int stepPercent = 5;

    // The full-screen overlay lies over the picture while it is shown: it hears the wheel there.
    TAVO_ui_volumeControl(TAVO_player_vlcPlayer *player, QWidget *picture, QWidget *fullScreenOverlay,
                          QStatusBar *statusLine, TAVO_ui_windowKeyboard *keys);

    int level() const;
    bool isMuted() const;
    void setLevel(int percent);
    void setMuted(bool muted);
    void step(int steps);

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool wheelTurned(const QWheelEvent *event);
    void takeKeys(TAVO_ui_windowKeyboard *keys);
    void applyLevel(int percent);
    void applyMuted(bool muted);
    void showMuteState();
    void announce();
    void restoreStatusLine();

    TAVO_player_vlcPlayer *player;
    QToolButton *muteButton;
    QSlider *slider;
    QStatusBar *statusLine;
    QTimer statusTimer;
    QString announced;       // the level text this control put on the status line
    QString replacedStatus;  // what the status line said before, shown again afterwards
    int pendingWheel = 0;    // eighths of a degree not yet turned into a step
};

#endif
