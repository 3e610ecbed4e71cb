#include "TAVO_ui_quitSignals.h"

#include <QDeadlineTimer>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> quitSignals{SIGINT, SIGTERM, SIGHUP};
int quitSignalPipe[2] = {-1, -1};
std::array<struct sigaction, quitSignals.size()> formerActions;

void noteQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char number = char(signalNumber);
    // Nothing but a write is safe in a signal handler; the watch reads it.
    [[maybe_unused]] const ssize_t written = write(quitSignalPipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

TAVO_ui_quitSignals::TAVO_ui_quitSignals(Ending ending)
    : ending(std::move(ending))
{
    if (pipe2(quitSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    watcher = std::thread([this] { watch(); });
    struct sigaction action = {};
    action.sa_handler = noteQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < quitSignals.size(); ++i)
        sigaction(quitSignals[i], &action, &formerActions[i]);
}

TAVO_ui_quitSignals::~TAVO_ui_quitSignals()
{
    if (!watcher.joinable())
        return;
    for (size_t i = 0; i < quitSignals.size(); ++i)
        sigaction(quitSignals[i], &formerActions[i], nullptr);
    const char end = 0;
    [[maybe_unused]] const ssize_t written = write(quitSignalPipe[1], &end, 1);
    watcher.join();
    for (int &fd : quitSignalPipe) {
        close(fd);
        fd = -1;
    }
}

void TAVO_ui_quitSignals::watch()
{
    if (!nextSignal(-1))
        return;
    QMetaObject::invokeMethod(&guiThread, ending.close, Qt::QueuedConnection);
    const QDeadlineTimer limit(ending.limitMs);
    bool timedOut = false;
    while (nextSignal(int(limit.remainingTime()), &timedOut)) {
    }
    if (timedOut)
        ending.lastResort();
}

bool TAVO_ui_quitSignals::nextSignal(int timeoutMs, bool *timedOut)
{
    for (;;) {
        pollfd readable{quitSignalPipe[0], POLLIN, 0};
        const int ready = poll(&readable, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && timedOut)
            *timedOut = true;
        char number = 0;
        if (ready <= 0 || read(quitSignalPipe[0], &number, 1) != 1)
            return false;
        return number != 0;
    }
}
