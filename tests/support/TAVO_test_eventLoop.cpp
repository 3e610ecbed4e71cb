#include "TAVO_test_eventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace TAVO_test_eventLoop {

bool runUntil(const std::function<bool()> &done, int timeoutMs, int checkEveryMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(checkEveryMs);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void runPosted()
{
    QEventLoop loop;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    loop.exec();
}

void runPastTimersOf(int intervalMs)
{
    QEventLoop loop;
    QTimer turn;
    turn.setSingleShot(true);
    QObject::connect(&turn, &QTimer::timeout, &loop, &QEventLoop::quit);
    turn.start(intervalMs);
    loop.exec();
}

} // namespace TAVO_test_eventLoop
