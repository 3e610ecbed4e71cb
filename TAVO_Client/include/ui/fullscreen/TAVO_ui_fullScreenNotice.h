#ifndef TAVO_UI_FULLSCREENNOTICE_H
#define TAVO_UI_FULLSCREENNOTICE_H

#include <QObject>

#include <memory>

class QLabel;
class QMainWindow;
class QStatusBar;
class TAVO_ui_fadingWindow;

// In full screen the status line is hidden: what it says meanwhile (a lost stream and its
// retry, a start again, the volume, a key not sent, a recording) shows over the picture near
// the top of the screen, and fades after a few seconds, as video players show theirs. The
// notice never takes the keyboard or the mouse: the full-screen overlay keeps them. A message put
// back on the line (what it said before the volume passed) is no news, and shows nothing.
class TAVO_ui_fullScreenNotice : public QObject
{
    Q_OBJECT

public:
    static constexpr int shownMs = 3000;
    // A few lines over the picture at most, however much a box's name holds.
    static constexpr int noticeChars = 300;

    explicit TAVO_ui_fullScreenNotice(QMainWindow *window);
    ~TAVO_ui_fullScreenNotice() override;

    // The notice's own window, shown while it says something.
    QWidget *noticeWindow() const;
    // Puts `message` back on `statusLine` without a notice.
    static void putBack(QStatusBar *statusLine, const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(const QString &text);
    void placeOverPicture();

    QMainWindow *window;
    std::unique_ptr<QLabel> notice;
    TAVO_ui_fadingWindow *fading;  // a child of the notice
};

#endif
