#include <glib-unix.h>

#include "boxConfig.h"
#include "simulatedBox.h"

#include <QCommandLineParser>
#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkInterface>
#include <cstdio>
#include <csignal>

namespace {

// GLib's loop is Qt's loop here, so a GLib signal source ends the program cleanly: the boxes
// are destroyed after the loop and say byebye on the way out.
gboolean quitOnSignal(gpointer)
{
    QCoreApplication::quit();
    return G_SOURCE_CONTINUE;
}

// Boxes announced on a real network would show up in every UPnP client around; they belong in
// the private network of scripts/netns-run, where loopback is the only interface.
bool onlyLoopbackIsUp()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::none_of(interfaces.cbegin(), interfaces.cend(), [](const QNetworkInterface &interface) {
        return interface.flags().testFlag(QNetworkInterface::IsUp)
               && !interface.flags().testFlag(QNetworkInterface::IsLoopBack);
    });
}

int fail(const QString &message)
{
    std::fprintf(stderr, "tavo_boxsim: %s\n", qPrintable(message));
    return 1;
}

// SIGUSR1 makes every box say byebye, SIGUSR2 announces them again: boxes that leave the
// network and come back, on request.
struct Announcement
{
    QList<SimulatedBox *> *boxes;
    bool announced;
};

gboolean announceOnSignal(gpointer data)
{
    const auto *announcement = static_cast<const Announcement *>(data);
    for (SimulatedBox *box : *announcement->boxes)
        box->setAnnounced(announcement->announced);
    return G_SOURCE_CONTINUE;
}

} // namespace

int main(int argc, char *argv[])
{
    // GSSDP runs on GLib's main loop, which is Qt's only with the GLib event dispatcher.
    qunsetenv("QT_NO_GLIB");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated streamer boxes for tests and the demo."));
    parser.addHelpOption();
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("Boxes to run (JSON)."),
                                          QStringLiteral("file"));
    const QCommandLineOption logOption(QStringLiteral("log-dir"), QStringLiteral("Folder of the request logs."),
                                       QStringLiteral("folder"), QStringLiteral("."));
    const QCommandLineOption anyNetworkOption(QStringLiteral("any-network"),
                                              QStringLiteral("Run even where other interfaces than loopback are up."));
    parser.addOptions({configOption, logOption, anyNetworkOption});
    parser.process(app);
    if (!parser.isSet(anyNetworkOption) && !onlyLoopbackIsUp())
        return fail(QStringLiteral("refusing to announce boxes where a real network is up; "
                                   "run inside scripts/netns-run (or pass --any-network)"));

    QFile configFile(parser.value(configOption));
    if (!configFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read config \"%1\"").arg(configFile.fileName()));
    QString error;
    const QList<BoxConfig> configs = readBoxConfigs(configFile.readAll(), &error);
    if (configs.isEmpty())
        return fail(error);
    QDir().mkpath(parser.value(logOption));

    g_unix_signal_add(SIGTERM, quitOnSignal, nullptr);
    g_unix_signal_add(SIGINT, quitOnSignal, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QList<SimulatedBox *> boxes;
    for (const BoxConfig &config : configs) {
        boxes.append(new SimulatedBox(config, parser.value(logOption), &app));
        if (!boxes.last()->start(&error))
            return fail(config.uuid + QStringLiteral(": ") + error);
    }
    Announcement byebye{&boxes, false};
    Announcement comeBack{&boxes, true};
    g_unix_signal_add(SIGUSR1, announceOnSignal, &byebye);
    g_unix_signal_add(SIGUSR2, announceOnSignal, &comeBack);
    std::printf("ready\n");
    std::fflush(stdout);
    const int status = app.exec();
    qDeleteAll(boxes);
    return status;
}
