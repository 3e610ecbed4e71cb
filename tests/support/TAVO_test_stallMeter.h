#pragma once

#include <QElapsedTimer>

struct _GSource;

// Measures how long the GUI thread's event loop was kept from coming back to wait for input:
// the longest single pass through the handlers of ready events (a slot that blocks, a slow
// parse, a flood of packets handled in one go). Nested loops (message boxes, waits that process
// events) count as coming back.
//
// It watches the loop from a GLib source of the highest priority that is never ready: GLib asks
// it before every wait and checks it after every wait, so it sees each pass without taking part.
// A 10 ms timer would change what it measures: due at every pass of a test's wait loop, it keeps
// GLib from ever reaching its idle sources, and GUPnP starts its network discovery from one.
class TAVO_test_stallMeter
{
public:
    TAVO_test_stallMeter();
    ~TAVO_test_stallMeter();

    TAVO_test_stallMeter(const TAVO_test_stallMeter &) = delete;
    TAVO_test_stallMeter &operator=(const TAVO_test_stallMeter &) = delete;

    // Forgets what was measured so far.
    void restart();
    // The longest pass since the last restart.
    qint64 longestStallMs() const;

    // Called by the source: the loop is about to wait, and it has waited.
    void beforeWait();
    void afterWait();

private:
    _GSource *source = nullptr;
    QElapsedTimer sinceWait;
    qint64 longest = 0;
};
