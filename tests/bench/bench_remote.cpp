// Measures the remote control against a simulated box: the time from a key click to the box
// receiving the command, whether 100 quick clicks arrive complete and in click order, and the
// time a channel's paced keys take to reach the box, from the list and typed on the picture.
// Run inside the private network (scripts/bench-remote.sh does).

#include "TAVO_test_benchTable.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_mgr_channelList.h"
#include "TAVO_ui_channelDock.h"
#include "TAVO_ui_channelEntry.h"
#include "TAVO_ui_channelSwitcher.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_remoteKeyboard.h"
#include "TAVO_ui_windowKeyboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

using namespace TAVO_test_benchTable;

const QString uuid = QStringLiteral("0be7c4d2-5a61-4f0e-8c39-benchremote01");
const QString digits[] = {"NUM_0", "NUM_1", "NUM_2", "NUM_3", "NUM_4", "NUM_5", "NUM_6", "NUM_7", "NUM_8", "NUM_9"};
constexpr int latencyClicks = 50;
constexpr int burstClicks = 100;
constexpr int channelTunes = 5;
constexpr int typedTunes = 3;

// Lets the panel's sender work while watching the box's log closely.
bool waitForRequestCount(const TAVO_test_boxSim &sim, int count, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (sim.requests(uuid).size() < count) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(100);
    }
    return true;
}

QString keyOf(const QString &logLine)
{
    return logLine.section(QStringLiteral("&key="), 1).section(QLatin1Char(' '), 0, 0);
}

bool loadPanel(TAVO_ui_controller &panel, const QTemporaryDir &folder)
{
    QString path = folder.filePath(QStringLiteral("remote.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<RCU version=\"1.0\"><totalAmount>1</totalAmount><defaultId>1</defaultId><remoteController>"
               "<id>1</id><name>TV</name><supportKeys>PWR NUM_0 NUM_1 NUM_2 NUM_3 NUM_4 NUM_5 NUM_6 NUM_7 NUM_8 NUM_9 OK"
               "</supportKeys></remoteController></RCU>");
    file.close();
    return panel.setXmlPath(&path);
}

bool measureLatency(const TAVO_test_boxSim &sim, QPushButton *power)
{
    QList<double> milliseconds;
    for (int i = 0; i < latencyClicks; ++i) {
        const int before = sim.requests(uuid).size();
        QElapsedTimer clock;
        clock.start();
        power->click();
        if (!waitForRequestCount(sim, before + 1, 5000))
            return false;
        milliseconds << clock.nsecsElapsed() / 1e6;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    row(QStringLiteral("key click to box (median of %1)").arg(latencyClicks), ms(milliseconds.at(latencyClicks / 2)));
    row(QStringLiteral("key click to box (95th percentile, max)"),
        ms(milliseconds.at(latencyClicks * 95 / 100)) + QStringLiteral(", ") + ms(milliseconds.last()));
    return true;
}

bool measureBurst(const TAVO_test_boxSim &sim, const TAVO_ui_controller &panel)
{
    const int before = sim.requests(uuid).size();
    QStringList clicked;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < burstClicks; ++i) {
        const QString key = digits[(i * 7) % 10];
        TAVO_test_windowParts::keyButton(&panel, qPrintable(key))->click();
        clicked << key;
    }
    const bool complete = waitForRequestCount(sim, before + burstClicks, 20000);
    const double elapsed = clock.nsecsElapsed() / 1e6;
    QStringList received;
    for (const QString &line : sim.requests(uuid).mid(before))
        received << keyOf(line);
    const bool inOrder = received == clicked;
    row(QStringLiteral("%1 quick clicks: all received, in click order").arg(burstClicks), ms(elapsed),
        QStringLiteral("%1 of %2, %3").arg(received.size()).arg(burstClicks).arg(inOrder ? "in order" : "OUT OF ORDER"));
    return complete && inOrder;
}

// Return on a channel of the list to its last key at the box: digits typed on the picture go out
// as plain key clicks (the rows above); a channel from the list goes out paced.
bool measureChannelTune(const TAVO_test_boxSim &sim, TAVO_ui_controller &panel)
{
    TAVO_mgr_channelList list;
    list.confirmKey = QStringLiteral("OK");
    const QStringList keys = list.keysFor({QStringLiteral("Bench"), QStringLiteral("101"), {}, {}, {}});
    TAVO_ui_channelSwitcher tuner(&panel, [] { return true; });
    QList<double> milliseconds;
    for (int i = 0; i < channelTunes; ++i) {
        const int before = sim.requests(uuid).size();
        QElapsedTimer clock;
        clock.start();
        if (!tuner.tune(keys, list.pauseMs).isEmpty() || !waitForRequestCount(sim, before + int(keys.size()), 10000))
            return false;
        milliseconds << clock.nsecsElapsed() / 1e6;
    }
    row(QStringLiteral("channel 101 + OK: Return to its last key at box"), ms(median(milliseconds)),
        QStringLiteral("pause %1 ms, median of %2").arg(list.pauseMs).arg(channelTunes));
    return true;
}

// The window's parts that take digits typed on the picture, as the client's window puts them
// together: the remote's keyboard, then the channel list's number entry over it.
struct TypingPicture
{
    explicit TypingPicture(TAVO_ui_controller *panel)
        : keyboard({&window, &overlay, &boxList, panel})
        , remote(panel, &overlay, picture, {[] { return true; }})
        , tuner(panel, [] { return true; })
        , channels(&window, picture, &tuner, {[] { return uuid; }, [] { return QStringLiteral("Bench"); }, [] {},
                                              [](const QString &text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }})
    {
        channels.useKeys(&keyboard, {picture});
    }

    QMainWindow window;
    QWidget *picture = new QWidget(&window);
    QWidget overlay;
    QWidget boxList;
    TAVO_ui_windowKeyboard keyboard;
    TAVO_ui_remoteKeyboard remote;
    TAVO_ui_channelSwitcher tuner;
    TAVO_ui_channelDock channels;
};

// 101 typed as key events on the picture, from its last digit (the number is taken after the
// entry's pause) or from Return, to the channel's last key at the box.
bool measureTypedChannel(const TAVO_test_boxSim &sim, TAVO_ui_controller &panel, bool confirmed)
{
    TAVO_mgr_channelList list;
    list.confirmKey = QStringLiteral("OK");
    if (!list.save(uuid))
        return false;
    TypingPicture typing(&panel);
    QList<double> milliseconds;
    for (int i = 0; i < typedTunes; ++i) {
        const int before = sim.requests(uuid).size();
        QTest::keyClick(typing.picture, Qt::Key_1);
        QTest::keyClick(typing.picture, Qt::Key_0);
        QElapsedTimer clock;
        if (confirmed) {
            QTest::keyClick(typing.picture, Qt::Key_1);
            clock.start();
            QTest::keyClick(typing.picture, Qt::Key_Return);
        } else {
            clock.start();
            QTest::keyClick(typing.picture, Qt::Key_1);
        }
        if (!waitForRequestCount(sim, before + 4, 10000))
            return false;
        milliseconds << clock.nsecsElapsed() / 1e6;
    }
    row(confirmed ? QStringLiteral("typed 101, Return: Return to last key at box")
                  : QStringLiteral("typed 101: last digit to last key at box"),
        ms(median(milliseconds)),
        (confirmed ? QString() : QStringLiteral("entry pause %1 ms, ").arg(TAVO_ui_channelEntry::defaultPauseMs))
            + QStringLiteral("key pause %1 ms, median of %2").arg(list.pauseMs).arg(typedTunes));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // The channel list the typed numbers are tuned by is the benchmark's own.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    const QVariantMap television{{"id", "1"}, {"name", "TV"}, {"supportKeys", "PWR NUM_0 NUM_1 NUM_2 NUM_3 NUM_4"
                                                                         " NUM_5 NUM_6 NUM_7 NUM_8 NUM_9 OK"}};
    TAVO_test_boxSim sim(TAVO_test_boxSim::box(
        {{"uuid", uuid}, {"address", "127.0.0.2"}, {"controllers", QVariantList{television}}}));
    if (!sim.start()) {
        std::fprintf(stderr, "the box simulator did not start\n");
        return 1;
    }
    TAVO_SERVER server;
    server.host = QStringLiteral("127.0.0.2");
    server.tavoStreamer.rcuPort = QStringLiteral("8090");
    TAVO_ui_controller panel;
    panel.setCurrentServer(&server);
    QTemporaryDir folder;
    if (!loadPanel(panel, folder)) {
        std::fprintf(stderr, "the panel did not load its description\n");
        return 1;
    }
    const bool latencyMeasured = measureLatency(sim, TAVO_test_windowParts::keyButton(&panel, "PWR"));
    const bool burstInOrder = measureBurst(sim, panel);
    const bool channelTuned = measureChannelTune(sim, panel);
    const bool typedTuned = measureTypedChannel(sim, panel, false) && measureTypedChannel(sim, panel, true);
    return latencyMeasured && burstInOrder && channelTuned && typedTuned ? 0 : 1;
}
