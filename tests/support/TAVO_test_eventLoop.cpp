#include "TAVO_test_eventLoop.h"

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

} // namespace TAVO_test_eventLoop
