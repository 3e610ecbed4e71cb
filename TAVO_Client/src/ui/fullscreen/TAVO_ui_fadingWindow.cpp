#include "TAVO_ui_fadingWindow.h"

#include <QWidget>

TAVO_ui_fadingWindow::TAVO_ui_fadingWindow(QWidget *window, int shownMs)
    : QObject(window)
    , window(window)
{
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint
                           | Qt::WindowTransparentForInput);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setFocusPolicy(Qt::NoFocus);

    shown.setSingleShot(true);
    shown.setInterval(shownMs);
    connect(&shown, &QTimer::timeout, &fade, [this] { fade.start(); });
    // Where no compositing manager runs, the opacity changes nothing to see: the window just
    // goes when the fade ends.
    fade.setTargetObject(window);
    fade.setPropertyName("windowOpacity");
    fade.setDuration(fadeMs);
    fade.setStartValue(opacity);
    fade.setEndValue(0.0);
    connect(&fade, &QPropertyAnimation::finished, this, &TAVO_ui_fadingWindow::vanish);
}

void TAVO_ui_fadingWindow::show()
{
    fade.stop();
    window->setWindowOpacity(opacity);
    window->show();
    window->raise();
    shown.start();
}

void TAVO_ui_fadingWindow::vanish()
{
    shown.stop();
    fade.stop();
    window->hide();
}
