#include "TAVO_mgr_stopSignals.h"

#include <csignal>

#include <pthread.h>
#include <sys/signalfd.h>

int TAVO_mgr_stopSignals::descriptor()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &before);
    const int fd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0)
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return fd;
}
