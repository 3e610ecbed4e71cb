#include "TAVO_test_processStats.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace {

// The fields of /proc/<pid>/stat after the command name, which may itself hold spaces.
QList<QByteArray> statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

QList<qint64> withDescendants(qint64 root, const QList<qint64> &excluded)
{
    QList<qint64> tree{root};
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QList<QPair<qint64, qint64>> parents;
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid)
            parents.append({pid, statFields(pid).value(1).toLongLong()});
    }
    for (int i = 0; i < tree.size(); ++i) {
        for (const auto &[pid, parent] : parents) {
            if (parent == tree.at(i) && !excluded.contains(pid))
                tree.append(pid);
        }
    }
    return tree;
}

qint64 residentKiBOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

double TAVO_test_processStats::cpuMs(qint64 pid, const QList<qint64> &excluded)
{
    double ticks = 0;
    for (qint64 member : withDescendants(pid, excluded)) {
        const QList<QByteArray> fields = statFields(member);
        // utime and stime are fields 14 and 15 of the whole line.
        ticks += fields.value(11).toDouble() + fields.value(12).toDouble();
    }
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

qint64 TAVO_test_processStats::residentKiB(qint64 pid, const QList<qint64> &excluded)
{
    qint64 total = 0;
    for (qint64 member : withDescendants(pid, excluded))
        total += residentKiBOf(member);
    return total;
}
