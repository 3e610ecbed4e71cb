#include "TAVO_mgr_boxSearch.h"
#include "TAVO_mgr_stopSignals.h"
#include "TAVO_mgr_streamSettings.h"
#include "TAVO_tuner_access.h"
#include "TAVO_tuner_deviceId.h"
#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_options.h"
#include "TAVO_tuner_service.h"
#include "TAVO_tuner_ssdp.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>

#include <termios.h>
#include <unistd.h>

// Exit statuses, as the manual page lists them.
enum { Usage = 2, CannotListen = 3, PasswordNotSet = 4 };

// One line of standard input, not shown while typed at a terminal.
QString passwordLine()
{
    termios shown{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &shown) == 0;
    if (terminal) {
        std::fprintf(stderr, "Password for the web page: ");
        termios hidden = shown;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    QTextStream input(stdin);
    const QString line = input.readLine(1024);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &shown);
        std::fprintf(stderr, "\n");
    }
    return line;
}

int setPassword()
{
    QString problem;
    if (!TAVO_tuner_access::setPassword(passwordLine(), &problem)) {
        std::fprintf(stderr, "tavo-tuner: the password is not set: %s\n", qPrintable(problem));
        return PasswordNotSet;
    }
    std::fprintf(stderr, "tavo-tuner: the web page's password is set.\n");
    return 0;
}

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
    if (options.setPassword)
        return setPassword();
    TAVO_mgr_streamSettings::giveForThisRun(options.streamSettings);

    TAVO_tuner_lineup lineup;
    const QString deviceId = TAVO_tuner_deviceId::load();
    TAVO_tuner_service service(&lineup, options.allowEncrypted, deviceId);
    // On the loopback address only this computer's users reach the page, as they reach the window,
    // unless a reverse proxy hands it on: once a password is set, it is asked there too.
    service.webPage()->guard(std::make_unique<TAVO_tuner_access>(!options.listenAddress.isLoopback()
                                                                 || TAVO_tuner_access::hasPassword()));
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
