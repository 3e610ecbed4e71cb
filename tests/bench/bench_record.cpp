// Figures of the recording command, printed as table rows: its CPU and peak resident memory while
// it records the plain stream of a simulated box into a file, and the time from its start to the
// first byte in its file, with the box named by its friendly name (an SSDP search) and by the
// URL of its description; beside curl writing the same stream URL into a file. Runs in the
// private network (scripts/bench.sh).

#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_processStats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <csignal>

namespace {

using namespace TAVO_test_benchTable;

const QString uuid = QStringLiteral("b0b0b0b0-0000-4000-8000-0000000000ee");
const QString boxName = QStringLiteral("Recorded");
const QString descriptionUrl = QStringLiteral("http://127.0.0.2:49152/description.xml");
const int recordingMs = 30000;
const int firstByteRuns = 3;
// A safety net for a command that never writes, never a measure.
const int hangMs = 60000;

struct Tool
{
    QString program;
    QStringList arguments;  // the output file is added last
};

Tool recorder(const QString &box)
{
    return {QStringLiteral(TAVO_BIN_DIR "/tavo-record"), {QStringLiteral("--box"), box, QStringLiteral("--output")}};
}

Tool curl(const QString &url)
{
    return {QStringLiteral("curl"), {QStringLiteral("--silent"), url, QStringLiteral("--output")}};
}

// The command's home and runtime folder (its pinned keys and box locks) are the benchmark's own.
void start(QProcess &process, const Tool &tool, const QString &output, const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    process.setProcessEnvironment(environment);
    process.start(tool.program, tool.arguments + QStringList{output});
}

void stop(QProcess &process)
{
    ::kill(process.processId(), SIGTERM);
    if (!process.waitForFinished(hangMs))
        process.kill();
}

// The tool's start to the first byte in its file, the file's size polled every 2 ms; -1 when
// nothing came.
double firstByteMs(const Tool &tool, const QTemporaryDir &home)
{
    const QString output = home.filePath(QStringLiteral("first-byte.ts"));
    QFile::remove(output);
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    start(process, tool, output, home);
    const bool written = TAVO_test_eventLoop::runUntil([&] { return QFileInfo(output).size() > 0; }, hangMs, 2);
    const double elapsedMs = written ? double(clock.nsecsElapsed()) / 1e6 : -1;
    stop(process);
    return elapsedMs;
}

struct Cost
{
    double cpuPercent = -1;
    qint64 peakKiB = -1;
};

// CPU over the wall time since its start, and the peak resident memory, of the tool writing the
// stream for recordingMs.
Cost recordingCost(const Tool &tool, const QTemporaryDir &home)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    start(process, tool, home.filePath(QStringLiteral("recording.ts")), home);
    TAVO_test_eventLoop::runFor(recordingMs);
    Cost cost;
    if (process.state() == QProcess::Running) {
        cost.cpuPercent = TAVO_test_processStats::cpuMs(process.processId()) * 100.0 / double(clock.elapsed());
        cost.peakKiB = TAVO_test_processStats::memoryOf(process.processId()).peakKiB;
    }
    stop(process);
    return cost;
}

// The stream URL the command asked the box for, from the box's request log.
QString streamUrlAsked(const TAVO_test_boxSim &box)
{
    const QStringList gets = box.requests(uuid).filter(QStringLiteral("8080 GET "));
    return gets.isEmpty() ? QString()
                          : QStringLiteral("http://127.0.0.2:8080") + gets.constLast().section(QLatin1Char(' '), 2, 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    TAVO_test_boxSim box(TAVO_test_boxSim::box({{"uuid", uuid}, {"address", "127.0.0.2"}, {"friendlyName", boxName}}));
    if (!box.start()) {
        std::fprintf(stderr, "the simulated box did not start\n");
        return 1;
    }

    const Cost client = recordingCost(recorder(boxName), home);
    const QString streamUrl = streamUrlAsked(box);
    if (streamUrl.isEmpty()) {
        std::fprintf(stderr, "the recording command did not ask for the stream\n");
        return 1;
    }
    const Cost reference = recordingCost(curl(streamUrl), home);
    const QString seconds = QString::number(recordingMs / 1000);
    row(QStringLiteral("recording %1 s: CPU (of one core)").arg(seconds), percent(client.cpuPercent),
        percent(reference.cpuPercent) + QStringLiteral(" curl"), ratio(client.cpuPercent, reference.cpuPercent));
    row(QStringLiteral("recording %1 s: peak resident memory").arg(seconds), mib(client.peakKiB),
        mib(reference.peakKiB) + QStringLiteral(" curl"), ratio(client.peakKiB, reference.peakKiB));

    // The runs take turns, so that the box's encoder, which starts with its first viewer, is
    // met alike by each.
    QList<double> byName;
    QList<double> byUrl;
    QList<double> byCurl;
    for (int run = 0; run < firstByteRuns; ++run) {
        byName << firstByteMs(recorder(boxName), home);
        byUrl << firstByteMs(recorder(descriptionUrl), home);
        byCurl << firstByteMs(curl(streamUrl), home);
    }
    const QString ofRuns = QStringLiteral(" (median of %1)").arg(firstByteRuns);
    row(QStringLiteral("recording: start to 1st byte, name") + ofRuns, ms(median(byName)),
        ms(median(byCurl)) + QStringLiteral(" curl"), ratio(median(byName), median(byCurl)));
    row(QStringLiteral("recording: start to 1st byte, URL") + ofRuns, ms(median(byUrl)),
        ms(median(byCurl)) + QStringLiteral(" curl"), ratio(median(byUrl), median(byCurl)));
    return 0;
}
