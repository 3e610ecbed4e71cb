#include "TAVO_mgr_streamSettings.h"
#include "TAVO_record_exitStatus.h"
#include "TAVO_record_options.h"
#include "TAVO_record_recording.h"
#include "TAVO_mgr_stopSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// A reader that goes away and a file at its size limit are write errors the recording answers
// (EPIPE, EFBIG), not deaths.
void turnWriteSignalsIntoErrors()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

int main(int argc, char *argv[])
{
    const int signalsFd = TAVO_mgr_stopSignals::descriptor();
    const int signalsError = errno;
    turnWriteSignalsIntoErrors();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-record"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVO_VERSION));

    TAVO_record_options options;
    QString problem;
    if (!TAVO_record_options::parse(app.arguments(), QDateTime::currentDateTime(), &options, &problem)) {
        std::fprintf(stderr, "tavo-record: %s (see tavo-record --help)\n", qPrintable(problem));
        return static_cast<int>(TAVO_record_exitStatus::Usage);
    }
    TAVO_mgr_streamSettings::giveForThisRun(options.streamSettings);

    TAVO_record_recording recording(options);
    if (signalsFd < 0) {
        std::fprintf(stderr, "tavo-record: cannot watch for stop signals (%s): one ends the command at once\n",
                     std::strerror(signalsError));
    } else {
        auto *stopRequests = new QSocketNotifier(signalsFd, QSocketNotifier::Read, &recording);
        QObject::connect(stopRequests, &QSocketNotifier::activated, &recording, [&] {
            signalfd_siginfo info;
            while (::read(signalsFd, &info, sizeof info) == sizeof info) {
            }
            recording.stop();
        });
    }
    QObject::connect(&recording, &TAVO_record_recording::ended, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    recording.start();
    return app.exec();
}
