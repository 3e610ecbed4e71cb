#pragma once

#include <QString>
#include <QStringList>

// Tools of the test desktop (xdotool, ImageMagick, tesseract, ffmpeg) and the X server itself.
namespace TAVO_test_desktop {

// Runs a program to its end and gives its standard output, trimmed.
QString run(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

// Asks an X11 window to close as a window manager's close button does (tools/tour's
// tavo_closewindow): Xvfb runs no window manager, so a key such as Alt+F4 would reach nobody.
bool closeWindow(const QString &windowId);

} // namespace TAVO_test_desktop
