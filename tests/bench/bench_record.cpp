// Figures of the recording command, printed as table rows: its CPU and peak resident memory while
// it records the plain stream of a simulated box into a file, and the time from its start to the
// first byte in its file, with the box named by its friendly name (an SSDP search) and by the
// URL of its description; beside curl writing the same stream URL into a file. Then the tuner
// service, given the box by that URL: the time from curl's start on a channel's URL of its lineup
// to the first byte in curl's file (the box tuned by its keys first), and the service's own CPU and
// peak resident memory while one and while four curls write the channel, beside as many curls
// reading the box directly; the four must share one stream request at the box. Runs in the
// private network (scripts/bench.sh).

#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_processStats.h"

#include "TAVO_mgr_channelList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include <csignal>

namespace {

using namespace TAVO_test_benchTable;

const QString uuid = QStringLiteral("b0b0b0b0-0000-4000-8000-0000000000ee");
const QString boxName = QStringLiteral("Recorded");
const QString descriptionUrl = QStringLiteral("http://127.0.0.2:49152/description.xml");
const int recordingMs = 30000;
const int firstByteRuns = 3;
const int sharedClients = 4;
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
void start(QProcess &process, const QString &program, const QStringList &arguments, const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

void start(QProcess &process, const Tool &tool, const QString &output, const QTemporaryDir &home)
{
    start(process, tool.program, tool.arguments + QStringList{output}, home);
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

// Copies of the tool writing the stream, each into a file of its own, stopped when this goes.
class Writers
{
public:
    Writers(const Tool &tool, int copies, const QTemporaryDir &home)
    {
        for (int copy = 0; copy < copies; ++copy) {
            processes.push_back(std::make_unique<QProcess>());
            start(*processes.back(), tool, home.filePath(QStringLiteral("recording-%1.ts").arg(copy)), home);
        }
    }
    ~Writers()
    {
        for (const auto &process : processes)
            stop(*process);
    }
    // Their process ids, or none when one of them has ended.
    QList<qint64> running() const
    {
        QList<qint64> ids;
        for (const auto &process : processes) {
            if (process->state() != QProcess::Running)
                return {};
            ids << process->processId();
        }
        return ids;
    }

private:
    std::vector<std::unique_ptr<QProcess>> processes;
};

// The CPU the processes took since cpuBeforeMs was read, over the wall time since then, and
// their peak resident memories, each summed; none without processes.
Cost costOf(const QList<qint64> &processes, double cpuBeforeMs, qint64 elapsedMs)
{
    if (processes.isEmpty())
        return {};
    Cost cost{0, 0};
    for (const qint64 id : processes) {
        cost.cpuPercent += TAVO_test_processStats::cpuMs(id) * 100.0 / double(elapsedMs);
        cost.peakKiB += TAVO_test_processStats::memoryOf(id).peakKiB;
    }
    cost.cpuPercent -= cpuBeforeMs * 100.0 / double(elapsedMs);
    return cost;
}

// CPU over the wall time since their start, and the peak resident memory, of copies of the tool
// writing the stream for recordingMs, summed over the copies.
Cost recordingCost(const Tool &tool, const QTemporaryDir &home, int copies = 1)
{
    QElapsedTimer clock;
    clock.start();
    Writers writers(tool, copies, home);
    TAVO_test_eventLoop::runFor(recordingMs);
    return costOf(writers.running(), 0, clock.elapsed());
}

// The service's own CPU and peak resident memory while copies of the tool write the stream it
// serves for recordingMs; none when a copy ended (refused, say).
Cost serviceCost(qint64 service, const Tool &tool, const QTemporaryDir &home, int copies)
{
    TAVO_test_processStats::resetPeak(service);
    const double cpuBeforeMs = TAVO_test_processStats::cpuMs(service);
    QElapsedTimer clock;
    clock.start();
    Writers writers(tool, copies, home);
    TAVO_test_eventLoop::runFor(recordingMs);
    return writers.running().size() == copies ? costOf({service}, cpuBeforeMs, clock.elapsed()) : Cost();
}

QStringList streamRequests(const TAVO_test_boxSim &box)
{
    return box.requests(uuid).filter(QStringLiteral("8080 GET "));
}

// The stream URL the command asked the box for, from the box's request log.
QString streamUrlAsked(const TAVO_test_boxSim &box)
{
    const QStringList gets = streamRequests(box);
    return gets.isEmpty() ? QString()
                          : QStringLiteral("http://127.0.0.2:8080") + gets.constLast().section(QLatin1Char(' '), 2, 2);
}

// The box's channel list where the window keeps it, in the benchmark's data folder, which the
// commands it starts share; the box tunes on the confirming key.
bool keepChannelList(const QTemporaryDir &home)
{
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")).toLocal8Bit());
    TAVO_mgr_channelList list;
    list.channels = {{QStringLiteral("Nature World"), QStringLiteral("21"), {}, {}, {}}};
    list.confirmKey = QStringLiteral("OK");
    return list.save(uuid);
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// The body of a document the tuner answers and then closes; empty when it does not answer.
QByteArray fetch(quint16 port, const QString &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(hangMs))
        return {};
    socket.write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray received;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(hangMs))
        received += socket.readAll();
    received += socket.readAll();
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    return headEnd < 0 ? QByteArray() : received.mid(headEnd + 4);
}

// The URL of the first channel of the tuner's lineup, as TV software reads it; empty before it
// lists one.
QString firstChannelUrl(quint16 port)
{
    const QJsonArray lineup = QJsonDocument::fromJson(fetch(port, QStringLiteral("/lineup.json"))).array();
    return lineup.isEmpty() ? QString() : lineup.first().toObject().value(QStringLiteral("URL")).toString();
}

// Until the tuner has seen its clients go and let the box go: the box's lock is free again.
bool boxFreed(quint16 port)
{
    return TAVO_test_eventLoop::runUntil([port] { return fetch(port, QStringLiteral("/status")).contains("<td>free</td>"); },
                                         hangMs);
}

QString costText(const Cost &cost)
{
    return percent(cost.cpuPercent) + QStringLiteral(" / ") + mib(cost.peakKiB);
}

QString costRatio(const Cost &cost, const Cost &reference)
{
    return ratio(cost.cpuPercent, reference.cpuPercent) + QStringLiteral(" / ") + ratio(cost.peakKiB, reference.peakKiB);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    // The tuner sends the channel's digits and the confirming key.
    const QVariantList digits{QVariantMap{{"id", "1"}, {"name", "STB"},
                                          {"supportKeys", "NUM_0,NUM_1,NUM_2,NUM_3,NUM_4,NUM_5,NUM_6,NUM_7,NUM_8,NUM_9,OK"}}};
    TAVO_test_boxSim box(TAVO_test_boxSim::box({{"uuid", uuid}, {"address", "127.0.0.2"}, {"friendlyName", boxName},
                                                {"controllers", digits}, {"channelConfirmKey", "OK"},
                                                {"channels", QVariantMap{{"21", "Nature World"}}}}));
    if (!box.start() || !keepChannelList(home)) {
        std::fprintf(stderr, "the simulated box did not start or its channel list was not written\n");
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

    const quint16 port = freePort();
    QProcess tuner;
    tuner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    start(tuner, QStringLiteral(TAVO_BIN_DIR "/tavo-tuner"),
          {QStringLiteral("--box"), descriptionUrl, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)}, home);
    QString channelUrl;
    if (!TAVO_test_eventLoop::runUntil([&] { return !(channelUrl = firstChannelUrl(port)).isEmpty(); }, hangMs)) {
        std::fprintf(stderr, "the tuner service listed no channel\n");
        return 1;
    }

    // The runs take turns, so that the box's encoder, which starts with its first viewer, is
    // met alike by each. The recording command finds the box free once the tuner let it go.
    QList<double> byName;
    QList<double> byUrl;
    QList<double> byCurl;
    QList<double> byTuner;
    for (int run = 0; run < firstByteRuns; ++run) {
        byName << firstByteMs(recorder(boxName), home);
        byUrl << firstByteMs(recorder(descriptionUrl), home);
        byCurl << firstByteMs(curl(streamUrl), home);
        byTuner << firstByteMs(curl(channelUrl), home);
        if (!boxFreed(port))
            byTuner.last() = -1;
    }
    const QString ofRuns = QStringLiteral(" (median of %1)").arg(firstByteRuns);
    row(QStringLiteral("recording: start to 1st byte, name") + ofRuns, ms(median(byName)),
        ms(median(byCurl)) + QStringLiteral(" curl"), ratio(median(byName), median(byCurl)));
    row(QStringLiteral("recording: start to 1st byte, URL") + ofRuns, ms(median(byUrl)),
        ms(median(byCurl)) + QStringLiteral(" curl"), ratio(median(byUrl), median(byCurl)));
    row(QStringLiteral("tuner: request to 1st byte") + ofRuns, ms(median(byTuner)),
        ms(median(byUrl)) + QStringLiteral(" record URL, ") + ms(median(byCurl)) + QStringLiteral(" curl"),
        ratio(median(byTuner), median(byCurl)));

    const Cost oneStream = serviceCost(tuner.processId(), curl(channelUrl), home, 1);
    row(QStringLiteral("tuner: one stream, CPU / peak memory"), costText(oneStream),
        costText(reference) + QStringLiteral(" curl"), costRatio(oneStream, reference));

    boxFreed(port);
    const qsizetype requestsBefore = streamRequests(box).size();
    const Cost shared = serviceCost(tuner.processId(), curl(channelUrl), home, sharedClients);
    const qsizetype boxRequests = streamRequests(box).size() - requestsBefore;
    const Cost direct = recordingCost(curl(streamUrl), home, sharedClients);
    row(QStringLiteral("tuner: %1 clients of one channel, CPU / peak memory").arg(sharedClients),
        costText(shared) + (boxRequests == 1 ? QStringLiteral(", 1 request at the box")
                                             : QStringLiteral(", %1 requests at the box").arg(boxRequests)),
        costText(direct) + QStringLiteral(" %1 curls").arg(sharedClients), costRatio(shared, direct));
    stop(tuner);
    return 0;
}
