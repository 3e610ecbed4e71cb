#ifndef TAVO_UI_CHANNELCAPTION_H
#define TAVO_UI_CHANNELCAPTION_H

#include <QObject>

#include <memory>

class QLabel;
class QMainWindow;
class QWidget;
class TAVO_ui_fadingWindow;
struct TAVO_mgr_channel;

// What plays, as a television tells it: after each change of channel its number, name and logo
// show over the top-left corner of the picture for a few seconds and fade, and the number being
// typed shows there while digits come; the status line keeps the channel at its right end while
// the box plays it. The caption is a window of its own, as the full-screen notice is: libVLC draws
// into a native window that would cover a child widget. It never takes the keyboard or the mouse,
// and it follows the picture when the window moves, changes size or goes full screen.
class TAVO_ui_channelCaption : public QObject
{
    Q_OBJECT

public:
    static constexpr int shownMs = 4000;

    TAVO_ui_channelCaption(QMainWindow *window, QWidget *picture);
    ~TAVO_ui_channelCaption() override;

    void showTyping(const QString &digits);
    void showTuned(const TAVO_mgr_channel &channel);
    // The status line's channel; an empty text clears it.
    void showPlaying(const QString &text);
    QWidget *captionWindow() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showCaption();
    int letterPixels() const;
    void placeOverPicture();

    QMainWindow *window;
    QWidget *picture;
    std::unique_ptr<QWidget> caption;
    QLabel *logo;
    QLabel *number;
    QLabel *name;
    QLabel *playing;
    TAVO_ui_fadingWindow *fading;  // a child of the caption
};

#endif
