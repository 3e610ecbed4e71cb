#pragma once

#include <QtGlobal>

// What a process costs, read from /proc: memory in KiB and processor time in seconds.
namespace TAVO_test_processUse {

struct Memory
{
    qint64 residentKiB = 0;  // VmRSS
    qint64 peakKiB = 0;      // VmHWM: the largest resident size since start or resetPeak()
};

// pid 0: this process.
Memory memoryOf(qint64 pid = 0);
// Lets VmHWM start again from the present resident size (Linux "clear_refs" 5).
bool resetPeak(qint64 pid = 0);
// User plus system time the process has used so far.
double cpuSecondsOf(qint64 pid = 0);

} // namespace TAVO_test_processUse
