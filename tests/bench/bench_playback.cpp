// Playback figures, printed: the time from a click on "Start" to the first picture in the video
// area, beside cvlc opening the same URL in the same run, and the client's CPU while a stream
// is starting (a box that never answers keeps the start-up watch waiting) and while idle.
// Runs in the private network on an X display (scripts/bench-playback.sh).

#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_processStats.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>


namespace {

using namespace TAVO_test_benchTable;

const int runs = 3;
const int pollMs = 10;
const int pictureTimeoutMs = 15000;
const int cpuWindowMs = 3000;
const QByteArray streamUrl = "http://127.0.0.2:8080/?src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd";

bool showsPicture(const QRect &area)
{
    const QImage image =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    int lit = 0;
    int all = 0;
    for (int y = 0; y < image.height(); y += 8) {
        for (int x = 0; x < image.width(); x += 8) {
            ++all;
            lit += qGray(image.pixel(x, y)) > 40;
        }
    }
    return all && lit * 10 > all * 3;
}

// Milliseconds from `begin` (run first) until `area` shows a picture, polled every 10 ms while
// the event loop runs (also inside a start-up watch); -1 when none came.
qint64 timeToPicture(const QRect &area, const std::function<void()> &begin)
{
    QElapsedTimer clock;
    qint64 seen = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (seen < 0 && showsPicture(area))
            seen = clock.elapsed();
    });
    poll.start(pollMs);
    clock.start();
    begin();
    return TAVO_test_eventLoop::runUntil([&] { return seen >= 0; }, pictureTimeoutMs) ? seen : -1;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

class Bench
{
public:
    bool setUp();
    double idleCpu();
    double startingCpu();
    QList<qint64> clientStarts();
    QList<qint64> cvlcStarts();

private:
    void select(const QString &rowText);
    double clientCpuMs() const;
    double cpuShareOver(int ms) const;

    TAVO_test_boxSim sim{TAVO_test_boxSim::boxes(
        {{{"uuid", "be7c0000-0001-4000-8000-0000000000b1"}, {"address", "127.0.0.2"}, {"friendlyName", "Bench"}},
         {{"uuid", "be7c0000-0002-4000-8000-0000000000b2"}, {"address", "127.0.0.3"}, {"friendlyName", "Silent"},
          {"silent", QStringList{QStringLiteral("stream")}}}})};
    TAVO_ui_mainWindow window;
    QPushButton *start = nullptr;
    QPushButton *stop = nullptr;
    QProcess viewer;
};

// A viewer of its own keeps the box's encoder running, so that every start below meets a live
// stream already under way, as a real box's would be.
bool Bench::setUp()
{
    if (!sim.start())
        return false;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    start = TAVO_test_windowParts::button(&window, QStringLiteral("Start"));
    stop = TAVO_test_windowParts::button(&window, QStringLiteral("Stop"));
    auto *table = window.findChild<QTableWidget *>();
    if (!TAVO_test_eventLoop::runUntil([table] { return table->rowCount() == 2; }, 15000))
        return false;
    viewer.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                          QString::fromLatin1(streamUrl)});
    TAVO_test_eventLoop::runFor(2000);
    return true;
}

// The client's CPU time in milliseconds: this process, without the simulated boxes and the
// extra viewer it runs as children.
double Bench::clientCpuMs() const
{
    return TAVO_test_processStats::cpuMs(QCoreApplication::applicationPid(), {sim.processId(), viewer.processId()});
}

// Share of one core used over the next `ms` while the event loop runs.
double Bench::cpuShareOver(int ms) const
{
    const double before = clientCpuMs();
    TAVO_test_eventLoop::runFor(ms);
    return (clientCpuMs() - before) / ms;
}

void Bench::select(const QString &rowText)
{
    TAVO_test_windowParts::clickServerRow(&window, rowText);
}

double Bench::idleCpu()
{
    return cpuShareOver(cpuWindowMs);
}

// The watch waits for a stream that never comes; Stop ends it once the CPU has been measured.
// The readings are taken in short timer handlers so that the watch itself runs in between.
double Bench::startingCpu()
{
    select(QStringLiteral("Silent (127.0.0.3)"));
    double before = 0;
    double share = -1;
    QTimer::singleShot(500, [&] { before = clientCpuMs(); });
    QTimer::singleShot(500 + cpuWindowMs, [&] {
        share = (clientCpuMs() - before) / cpuWindowMs;
        stop->click();
    });
    start->click();
    return share;
}

QList<qint64> Bench::clientStarts()
{
    select(QStringLiteral("Bench (127.0.0.2)"));
    const QRect area(window.videoWidget->mapToGlobal(QPoint(0, 0)), window.videoWidget->size());
    QList<qint64> times;
    for (int run = 0; run < runs; ++run) {
        stop->click();
        TAVO_test_eventLoop::runFor(1000);
        times.append(timeToPicture(area, [this] { start->click(); }));
    }
    stop->click();
    return times;
}

// cvlc opens its window at the top left of the empty screen, in the video's size.
QList<qint64> Bench::cvlcStarts()
{
    window.hide();
    TAVO_test_eventLoop::runFor(500);
    const QStringList command = qEnvironmentVariable("TAVO_BENCH_CVLC", QStringLiteral("cvlc"))
                                    .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<qint64> times;
    for (int run = 0; run < runs; ++run) {
        QProcess cvlc;
        cvlc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        times.append(timeToPicture(QRect(0, 0, 1280, 720), [&] {
            cvlc.start(command.first(), command.mid(1) << QString::fromLatin1(streamUrl));
        }));
        cvlc.terminate();
        if (!cvlc.waitForFinished(3000))
            cvlc.kill();
        cvlc.waitForFinished(3000);
        TAVO_test_eventLoop::runFor(1000);
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    Bench bench;
    if (!bench.setUp()) {
        std::fprintf(stderr, "the simulated boxes did not come up\n");
        return 1;
    }
    const double idle = bench.idleCpu();
    const double starting = bench.startingCpu();
    const QList<qint64> client = bench.clientStarts();
    const QList<qint64> cvlc = bench.cvlcStarts();

    row(QStringLiteral("Start to first picture (median of %1)").arg(runs), ms(median(client)),
        ms(median(cvlc)) + QStringLiteral(" cvlc"), ratio(median(client), median(cvlc)));
    row(QStringLiteral("CPU while a stream starts (of one core)"), percent(starting * 100));
    row(QStringLiteral("CPU while idle (of one core)"), percent(idle * 100));
    return 0;
}
