#include "TAVO_test_processUse.h"

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

// "VmRSS:\t  123456 kB" → 123456
qint64 statusField(const QByteArray &status, const QByteArray &name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

namespace TAVO_test_processUse {

Memory memoryOf(qint64 pid)
{
    const QByteArray status = readAll(procFile(pid, "status"));
    return {statusField(status, "VmRSS"), statusField(status, "VmHWM")};
}

bool resetPeak(qint64 pid)
{
    QFile clearRefs(procFile(pid, "clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

double cpuSecondsOf(qint64 pid)
{
    // The command name in parentheses may hold spaces; the fields after it are fixed:
    // utime and stime are the 12th and 13th after the closing parenthesis.
    const QByteArray stat = readAll(procFile(pid, "stat"));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(fields.value(11).toLongLong() + fields.value(12).toLongLong());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace TAVO_test_processUse
