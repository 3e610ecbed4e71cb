#include "TAVO_test_desktop.h"

#include <QProcess>

#include <X11/Xlib.h>

QString TAVO_test_desktop::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool TAVO_test_desktop::closeWindow(const QString &windowId)
{
    bool isNumber = false;
    const Window window = windowId.toULong(&isNumber, 0);
    Display *display = XOpenDisplay(nullptr);
    if (!isNumber || !display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0;
}
