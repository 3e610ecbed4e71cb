#include "TAVO_record_exitStatus.h"
#include "TAVO_record_options.h"
#include "TAVO_record_recording.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM arrive as readable data on a descriptor the event loop watches, so the
// recording stops between two writes, never inside one. They are blocked before any thread
// starts, so that every thread inherits the mask and none takes them the default way.
int stopSignalsDescriptor()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

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
    const int signalsFd = stopSignalsDescriptor();
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

    TAVO_record_recording recording(options);
    QSocketNotifier stopRequests(signalsFd, QSocketNotifier::Read);
    QObject::connect(&stopRequests, &QSocketNotifier::activated, &recording, [&] {
        signalfd_siginfo info;
        while (::read(signalsFd, &info, sizeof info) == sizeof info) {
        }
        recording.stop();
    });
    QObject::connect(&recording, &TAVO_record_recording::ended, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    recording.start();
    return app.exec();
}
