#pragma once

#include <functional>

// Waiting the way the application waits. QTest::qWaitFor sleeps 10 ms between single passes
// of the event loop, so a client under test reads at most one datagram or network chunk per
// pass; with hundreds of boxes answering a search its sockets overflow, and timed figures
// grow by the sleeps. Here a real event loop runs, which wakes the moment anything arrives.
namespace TAVO_test_eventLoop {

// Runs the event loop until done() holds (checked every checkEveryMs) or timeoutMs pass;
// returns done().
bool runUntil(const std::function<bool()> &done, int timeoutMs, int checkEveryMs = 20);
// Runs the event loop for this long.
void runFor(int ms);

} // namespace TAVO_test_eventLoop
