#pragma once

#include <QList>
#include <QtGlobal>

// CPU time and resident memory of a process together with all its descendants (the web page's
// engine and a player's helpers run as child processes), read from /proc.
namespace TAVO_test_processStats {

// CPU time (user + system, all threads) in milliseconds. The processes in `excluded` and their
// descendants (a test's box simulator, say) are left out.
double cpuMs(qint64 pid, const QList<qint64> &excluded = {});
// Resident memory in KiB, with the same exclusion.
qint64 residentKiB(qint64 pid, const QList<qint64> &excluded = {});

} // namespace TAVO_test_processStats
