// Figures of the whole client, printed as table rows: discovery latency (box start to table
// row) beside gssdp-discover seeing the same box, CPU while a stream plays beside cvlc playing
// the same URL, and resident memory idle, playing, after the first playing minute, after many
// Stop/Start cycles and reconnects, and after WebUI (the web engine's processes included). Runs
// in the private network on an X display (scripts/bench.sh).

#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_processStats.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_ui_mainWindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>

#include <malloc.h>


namespace {

const QString boxType = QStringLiteral("urn:vornex-com:device:TavoStreamer:1");
const QString streamUrl = QStringLiteral(
    "http://127.0.0.2:8080/?src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd");
const int discoveryRuns = 3;
const int settleMs = 3000;
const int cpuWindowMs = 5000;
const int firstPlayingMinuteMs = 60000;
const int memoryCycles = 20;
// The reconnecting box ends its stream this long after each (re)connection.
const int dropAfterMs = 2000;

using namespace TAVO_test_benchTable;
using TAVO_test_windowParts::button;

// Each box of a run has its own name, so that its row can be told apart from the earlier ones.
QByteArray oneBox(const QString &uuid)
{
    return TAVO_test_boxSim::box({{"uuid", uuid}, {"address", "127.0.0.2"}, {"friendlyName", uuid.right(4)}});
}

// Box start to table row, beside an independent control point listening all along.
void measureDiscovery(QTableWidget &table)
{
    QProcess discover;
    discover.start(QStringLiteral("gssdp-discover"),
                   {"-i", "lo", "-t", boxType, "-m", "available", "-n", "120"});
    discover.waitForStarted();
    TAVO_test_eventLoop::runFor(500);
    double clientTotal = 0;
    double referenceTotal = 0;
    for (int run = 0; run < discoveryRuns; ++run) {
        const QString uuid = QStringLiteral("b0b0b0b0-0000-4000-8000-00000000000%1").arg(run);
        QString seenByReference;
        QElapsedTimer clock;
        double clientMs = -1;
        double referenceMs = -1;
        // Both moments are taken when they happen: the row's insertion and the reference's line.
        const QMetaObject::Connection rowSeen =
            QObject::connect(table.model(), &QAbstractItemModel::rowsInserted, [&] {
                if (clientMs < 0)
                    clientMs = clock.elapsed();
            });
        const QMetaObject::Connection referenceSeen =
            QObject::connect(&discover, &QProcess::readyReadStandardOutput, [&] {
                seenByReference += QString::fromLocal8Bit(discover.readAllStandardOutput());
                if (referenceMs < 0 && seenByReference.contains(uuid))
                    referenceMs = clock.elapsed();
            });
        TAVO_test_boxSim box(oneBox(uuid));
        clock.start();
        box.start();
        // A box that never shows counts as "none" in the table.
        (void)TAVO_test_eventLoop::runUntil([&] { return clientMs >= 0 && referenceMs >= 0; }, 20000);
        QObject::disconnect(rowSeen);
        QObject::disconnect(referenceSeen);
        clientTotal += clientMs;
        referenceTotal += referenceMs;
    }
    discover.kill();
    discover.waitForFinished();
    row("discovery: box start to row (mean of 3)", ms(clientTotal / discoveryRuns),
             ms(referenceTotal / discoveryRuns), ratio(clientTotal, referenceTotal));
}

double cpuPercentOver(qint64 pid, int windowMs, const QList<qint64> &excluded = {})
{
    const double before = TAVO_test_processStats::cpuMs(pid, excluded);
    TAVO_test_eventLoop::runFor(windowMs);
    return (TAVO_test_processStats::cpuMs(pid, excluded) - before) * 100.0 / windowMs;
}

// cvlc refuses to run as root: scripts/bench.sh says how to start it.
QProcess *startCvlc()
{
    auto *cvlc = new QProcess;
    QStringList command = qEnvironmentVariable("TAVO_BENCH_CVLC", QStringLiteral("cvlc")).split(QLatin1Char(' '));
    command << QStringLiteral("--play-and-exit") << streamUrl;
    cvlc->start(command.takeFirst(), command);
    cvlc->waitForStarted();
    return cvlc;
}

// Starts playing the selected box; Start runs its own event loop until the stream plays.
bool startAndPlay(TAVO_ui_mainWindow &window)
{
    QTimer::singleShot(0, button(&window, "Start"), &QPushButton::click);
    return TAVO_test_eventLoop::runUntil([&] { return window.player->isPlaying(); }, 20000);
}

void cycleStopStart(TAVO_ui_mainWindow &window)
{
    for (int cycle = 0; cycle < memoryCycles; ++cycle) {
        button(&window, "Stop")->click();
        startAndPlay(window);
        TAVO_test_eventLoop::runFor(1000);
    }
}

// A box whose stream ends every dropAfterMs: the client asks for it again each time. Gives how
// often the box was asked for it again.
int playReconnecting(TAVO_ui_mainWindow &window)
{
    const QString name = QStringLiteral("Dropping");
    const QString uuid = QStringLiteral("b0b0b0b0-0000-4000-8000-0000000000fe");
    TAVO_test_boxSim box(TAVO_test_boxSim::box({{"uuid", uuid}, {"address", "127.0.0.3"}, {"friendlyName", name},
                                                {"streamDropAfterMs", dropAfterMs}, {"streamDropRepeats", true}}));
    box.start();
    if (!TAVO_test_windowParts::waitForRow(&window, name + QStringLiteral(" (127.0.0.3)"), 20000)
        || !TAVO_test_windowParts::clickServerRow(&window, name + QStringLiteral(" (127.0.0.3)"))) {
        std::fprintf(stderr, "the reconnecting box did not appear\n");
        return 0;
    }
    const auto streamRequests = [&] { return int(box.requests(uuid).filter(QStringLiteral("8080 GET")).size()); };
    button(&window, "Stop")->click();
    startAndPlay(window);
    TAVO_test_eventLoop::runUntil([&] { return streamRequests() > memoryCycles; },
                                  memoryCycles * 3 * (dropAfterMs + 2000));
    button(&window, "Stop")->click();
    return std::max(streamRequests() - 1, 0);
}

} // namespace

int main(int argc, char *argv[])
{
    // The memory is measured as the client has it: its entry point allows glibc two arenas.
    mallopt(M_ARENA_MAX, 2);
    QApplication app(argc, argv);
    TAVO_test_messageBoxes closeMessages;
    TAVO_ui_mainWindow window;
    window.show();
    auto *table = window.findChild<QTableWidget *>();
    TAVO_test_eventLoop::runFor(settleMs);
    const qint64 self = QCoreApplication::applicationPid();

    row("resident memory, idle", mib(TAVO_test_processStats::residentKiB(self)));
    measureDiscovery(*table);

    TAVO_test_boxSim box(oneBox(QStringLiteral("b0b0b0b0-0000-4000-8000-0000000000ff")));
    box.start();
    if (!TAVO_test_eventLoop::runUntil([&] { return table->rowCount() == discoveryRuns + 1; }, 20000)) {
        std::fprintf(stderr, "the box to play did not appear\n");
        return 1;
    }
    if (!TAVO_test_windowParts::clickServerRow(&window, table->item(table->rowCount() - 1, 0)->text())) {
        std::fprintf(stderr, "the box to play cannot be selected\n");
        return 1;
    }
    QElapsedTimer playingFor;
    playingFor.start();
    QTimer::singleShot(0, button(&window, "Start"), &QPushButton::click);
    TAVO_test_eventLoop::runFor(settleMs);
    // The simulated box (and its encoder) runs as a child of this program: it is not the client.
    const QList<qint64> boxProcess{box.processId()};
    const double clientCpu = cpuPercentOver(self, cpuWindowMs, boxProcess);
    const qint64 playingKiB = TAVO_test_processStats::residentKiB(self, boxProcess);

    QProcess *cvlc = startCvlc();
    TAVO_test_eventLoop::runFor(settleMs);
    // A cvlc that refused to run has no process to measure (and no pid: 0 would mean everything).
    const bool cvlcRuns = cvlc->state() == QProcess::Running;
    const double cvlcCpu = cvlcRuns ? cpuPercentOver(cvlc->processId(), cpuWindowMs) : -1;
    const qint64 cvlcKiB = cvlcRuns ? TAVO_test_processStats::residentKiB(cvlc->processId()) : -1;
    cvlc->kill();
    cvlc->waitForFinished();
    delete cvlc;
    const QString cvlcNote = cvlcRuns ? QStringLiteral(" cvlc") : QStringLiteral("cvlc did not run");
    row("CPU while a stream plays (of one core)", percent(clientCpu), cvlcRuns ? percent(cvlcCpu) + cvlcNote : cvlcNote,
        ratio(clientCpu, cvlcCpu));
    row("resident memory, playing", mib(playingKiB), cvlcRuns ? mib(cvlcKiB) + cvlcNote : cvlcNote,
        ratio(playingKiB, cvlcKiB));

    // glibc keeps what libVLC's short-lived threads freed in arenas of their own: memory that
    // climbs with every start shows here, not in the first minute.
    TAVO_test_eventLoop::runFor(int(std::max<qint64>(0, firstPlayingMinuteMs - playingFor.elapsed())));
    const qint64 firstMinuteKiB = TAVO_test_processStats::residentKiB(self, boxProcess);
    row("resident memory after the first playing minute", mib(firstMinuteKiB));
    cycleStopStart(window);
    const qint64 cycledKiB = TAVO_test_processStats::residentKiB(self, boxProcess);
    row(QStringLiteral("resident memory after %1 Stop/Start, to 1st min.").arg(memoryCycles), mib(cycledKiB),
        mib(firstMinuteKiB), ratio(cycledKiB, firstMinuteKiB));
    const int reconnects = playReconnecting(window);
    const qint64 reconnectedKiB = TAVO_test_processStats::residentKiB(self, boxProcess);
    row(QStringLiteral("resident memory after %1 reconnects, to 1st min.").arg(reconnects), mib(reconnectedKiB),
        mib(firstMinuteKiB), ratio(reconnectedKiB, firstMinuteKiB));

    button(&window, "Stop")->click();
    button(&window, "WebUI")->click();
    TAVO_test_eventLoop::runFor(2 * settleMs);
    row("resident memory after WebUI (all processes)",
        mib(TAVO_test_processStats::residentKiB(self, boxProcess)));
    std::fflush(stdout);
    std::_Exit(0);
}
