#pragma once

#include <QtGlobal>

// CPU time and resident memory of a process together with all its descendants (the web page's
// engine and a player's helpers run as child processes), read from /proc.
namespace TAVO_test_processStats {

// CPU time (user + system, all threads) in milliseconds.
double cpuMs(qint64 pid);
// Resident memory in KiB.
qint64 residentKiB(qint64 pid);

} // namespace TAVO_test_processStats
