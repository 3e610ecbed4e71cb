#include "TAVO_ui_commandLine.h"
#include "TAVO_ui_images.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QIcon>

#include <cstring>

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

} // namespace

int main(int argc, char *argv[])
{
    TAVO_ui_commandLine::answerHelpAndVersion(argc, argv);
    preferX11Platform(argc, argv);
    QApplication app(argc, argv);
    const QStringList boxes = TAVO_ui_commandLine::boxAddresses(app);
    QApplication::setWindowIcon(QIcon(TAVO_ui_images::path(QStringLiteral("IP_Streamer.png"))));
    TAVO_ui_mainWindow window;
    window.setWindowTitle(TAVO_ui_commandLine::windowTitle);
    window.addBoxesByAddress(boxes);
    window.show();
    return app.exec();
}
