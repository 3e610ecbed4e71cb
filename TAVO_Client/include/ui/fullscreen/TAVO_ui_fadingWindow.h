#ifndef TAVO_UI_FADINGWINDOW_H
#define TAVO_UI_FADINGWINDOW_H

#include <QObject>
#include <QPropertyAnimation>
#include <QTimer>

class QWidget;

// Makes a window of its own say something over the picture for a while and fade, as video
// players show their messages. The window stands over the full-screen overlay too; the window
// manager neither frames, places nor focuses it, and clicks go through it to the picture, so
// it never takes the keyboard or the mouse.
class TAVO_ui_fadingWindow : public QObject
{
    Q_OBJECT

public:
    static constexpr int fadeMs = 600;
    static constexpr double opacity = 0.85;

    TAVO_ui_fadingWindow(QWidget *window, int shownMs);

    // Shows the window, placed by its owner, at full opacity for the whole time again.
    void show();
    void vanish();

private:
    QWidget *window;
    QTimer shown;
    QPropertyAnimation fade;
};

#endif
