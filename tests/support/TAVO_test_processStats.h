#pragma once

#include <QList>
#include <QtGlobal>

// What processes cost, read from /proc: CPU time and resident memory of a process together with
// all its descendants (the web page's engine and a player's helpers run as child processes),
// and the resident memory of one process with its peak.
namespace TAVO_test_processStats {

struct Memory
{
    qint64 residentKiB = 0;  // VmRSS
    qint64 peakKiB = 0;      // VmHWM: the largest resident size since start or resetPeak()
};

// pid 0: this process.
Memory memoryOf(qint64 pid = 0);
// Lets VmHWM start again from the present resident size (Linux "clear_refs" 5).
bool resetPeak(qint64 pid = 0);

// CPU time (user + system, all threads) in milliseconds. The processes in `excluded` and their
// descendants (a test's box simulator, say) are left out. pid 0: this process.
double cpuMs(qint64 pid, const QList<qint64> &excluded = {});
// Resident memory in KiB, with the same exclusion.
qint64 residentKiB(qint64 pid, const QList<qint64> &excluded = {});

} // namespace TAVO_test_processStats
