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
// Runs the event loop until everything posted to it before the call has been handled: a marker
// posted now comes after it. What a negative check waits for when nothing else can come later.
void runPosted();
// Runs the event loop until a timer of intervalMs, started now, has fired. A timer of the same
// interval and type (coarse, the default) that the code under test started earlier has fired by
// then too: the event loop fires timers in the order they fall due, and rounds the due times of
// timers of one interval alike. A wait for that timer's turn, which a busy machine delays for
// both alike, not for a time.
void runPastTimersOf(int intervalMs);

} // namespace TAVO_test_eventLoop
