#include "TAVO_mgr_cache.h"
#include "TAVO_ui_commandLine.h"
#include "TAVO_ui_images.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_quitSignals.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <malloc.h>

namespace {

// The player draws into the native X11 window of the video area, so the client asks for the
// xcb platform (XWayland on a Wayland desktop) unless a platform was chosen explicitly.
void preferX11Platform(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
}

// What the window's close does when the window cannot: the cache goes, and the client ends.
[[noreturn]] void endWithoutTheWindow()
{
    TAVO_mgr_cache::removeRoot(TAVO_mgr_cache::root());
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    // glibc gives a thread that allocates while others do an arena of its own and keeps what is
    // freed there; with the dozens of short-lived threads libVLC starts for every stream, the
    // client grew by some 30 MiB with each start or reconnect. Two arenas cost no CPU while
    // playing (scripts/bench.sh); they must be set before any thread exists.
    mallopt(M_ARENA_MAX, 2);
    TAVO_ui_commandLine::answerHelpAndVersion(argc, argv);
    preferX11Platform(argc, argv);
    QApplication app(argc, argv);
    const QStringList boxes = TAVO_ui_commandLine::boxAddresses(app);
    QApplication::setWindowIcon(QIcon(TAVO_ui_images::path(QStringLiteral("IP_Streamer.png"))));
    TAVO_ui_mainWindow window;
    window.setWindowTitle(TAVO_ui_commandLine::windowTitle);
    // Ctrl+C in the terminal, a logout or a kill end the client as closing its window does:
    // playback stops and the cache folder goes.
    const TAVO_ui_quitSignals quitSignals({[&window] { window.close(); }, endWithoutTheWindow});
    window.addBoxesByAddress(boxes);
    window.show();
    return app.exec();
}
