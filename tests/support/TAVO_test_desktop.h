#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Tools of the test desktop (xdotool, ImageMagick, tesseract, ffmpeg) and the X server itself.
namespace TAVO_test_desktop {

// Runs a program to its end and gives its standard output, trimmed.
QString run(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

// Asks an X11 window to close as a window manager's close button does (tools/tour's
// tavo_closewindow): Xvfb runs no window manager, so a key such as Alt+F4 would reach nobody.
bool closeWindow(const QString &windowId);

// Whether the screen shows the widget's own drawing where the widget is: false while another
// window covers it (the full-screen picture, say).
bool showsOnScreen(QWidget *widget);

} // namespace TAVO_test_desktop
