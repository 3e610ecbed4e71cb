#ifndef TAVO_MGR_BACKOFF_H
#define TAVO_MGR_BACKOFF_H

#include <algorithm>

// The pause before a box is asked again for a stream it lost: one second, doubling with every
// attempt that failed in a row, up to half a minute, so that a box that restarts is found soon
// and one that is gone is not asked in a loop.
class TAVO_mgr_backOff
{
public:
    static constexpr int firstMs = 1000;
    static constexpr int longestMs = 30000;

    // The pause before the next attempt; the one after it is twice as long.
    int next()
    {
        const int pause = std::min(firstMs << std::min(failed, 5), longestMs);
        ++failed;
        return pause;
    }
    // The stream came back.
    void reset() { failed = 0; }

private:
    int failed = 0;
};

#endif
