#include "TAVO_test_processStats.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace {

QString procFile(qint64 pid, const char *name)
{
    const QString process = pid == 0 ? QStringLiteral("self") : QString::number(pid);
    return QStringLiteral("/proc/%1/%2").arg(process, QLatin1String(name));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat after the command name, which may itself hold spaces.
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray line = readAll(procFile(pid, "stat"));
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// "VmRSS:\t  123456 kB" → 123456
qint64 statusField(const QByteArray &status, const QByteArray &name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// pid 0 is this process, as everywhere here (and not "every process without a parent").
QList<qint64> withDescendants(qint64 root, const QList<qint64> &excluded)
{
    QList<qint64> tree{root == 0 ? qint64(::getpid()) : root};
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
        total += memoryOf(member).residentKiB;
    return total;
}

TAVO_test_processStats::Memory TAVO_test_processStats::memoryOf(qint64 pid)
{
    const QByteArray status = readAll(procFile(pid, "status"));
    return {statusField(status, "VmRSS"), statusField(status, "VmHWM")};
}

bool TAVO_test_processStats::resetPeak(qint64 pid)
{
    QFile clearRefs(procFile(pid, "clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}
