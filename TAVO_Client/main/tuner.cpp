#include "TAVO_mgr_boxSearch.h"
#include "TAVO_mgr_stopSignals.h"
#include "TAVO_mgr_streamSettings.h"
#include "TAVO_tuner_deviceId.h"
#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_options.h"
#include "TAVO_tuner_service.h"
#include "TAVO_tuner_ssdp.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

// Exit statuses, as the manual page lists them.
enum { Usage = 2, CannotListen = 3 };

int main(int argc, char *argv[])
{
    // SIGTERM ends the service through its event loop, so that it says goodbye by SSDP.
    const int signalsFd = TAVO_mgr_stopSignals::descriptor();
    // A client that goes away is a write error its connection answers, not a death.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-tuner"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVO_VERSION));

    TAVO_tuner_options options;
    QString problem;
    if (!TAVO_tuner_options::parse(app.arguments(), &options, &problem)) {
        std::fprintf(stderr, "tavo-tuner: %s (see tavo-tuner --help)\n", qPrintable(problem));
        return Usage;
    }
    TAVO_mgr_streamSettings::giveForThisRun(options.streamSettings);

    TAVO_tuner_lineup lineup;
    const QString deviceId = TAVO_tuner_deviceId::load();
    TAVO_tuner_service service(&lineup, options.allowEncrypted, deviceId);
    if (!service.listen(options.listenAddress, options.port, &problem)) {
        std::fprintf(stderr, "tavo-tuner: cannot listen on %s port %u: %s\n",
                     qPrintable(options.listenAddress.toString()), options.port, qPrintable(problem));
        return CannotListen;
    }
    if (signalsFd >= 0) {
        auto *stop = new QSocketNotifier(signalsFd, QSocketNotifier::Read, &app);
        QObject::connect(stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    // Found by TV software on the home network, where it listens beyond this computer.
    TAVO_tuner_ssdp ssdp(TAVO_tuner_deviceId::udnOf(deviceId), options.port);
    if (TAVO_tuner_ssdp::announces(options.listenAddress) && !ssdp.start(options.listenAddress, &problem))
        std::fprintf(stderr, "tavo-tuner: not announced by SSDP (add it by its address): %s\n", qPrintable(problem));
    // Every box that answers, or each box named, searched for until it answers.
    QList<TAVO_mgr_boxSearch *> searches;
    if (options.boxes.isEmpty())
        searches.append(new TAVO_mgr_boxSearch(&app));
    for (const TAVO_mgr_boxName &box : std::as_const(options.boxes))
        searches.append(new TAVO_mgr_boxSearch(box, 0, &app));
    for (TAVO_mgr_boxSearch *search : std::as_const(searches)) {
        QObject::connect(search, &TAVO_mgr_boxSearch::seen, &lineup, &TAVO_tuner_lineup::add);
        search->start();
    }
    return app.exec();
}
