#pragma once

#include <QElapsedTimer>

// Measures how long the event loop was kept from running while it lives: a timeout that should
// fire every 10 ms notes the largest gap between two of its firings. Nested loops (message
// boxes, waits that process events) count as running.
//
// The timeout is a GLib source of the lowest priority, not a QTimer: a Qt timer that is due
// at every pass of a test's wait loop keeps GLib from ever reaching its idle sources, and GUPnP
// starts its network discovery from one. At the lowest priority the meter changes nothing for
// the client, and a gap counts everything that kept the loop from reaching its idle work.
class TAVO_test_stallMeter
{
public:
    TAVO_test_stallMeter();
    ~TAVO_test_stallMeter();

    TAVO_test_stallMeter(const TAVO_test_stallMeter &) = delete;
    TAVO_test_stallMeter &operator=(const TAVO_test_stallMeter &) = delete;

    // Forgets what was measured so far.
    void restart();
    // The largest gap since the last restart, including the one still open.
    qint64 longestGapMs() const;

private:
    static int tick(void *meter);

    unsigned sourceId = 0;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
};
