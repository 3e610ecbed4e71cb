#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_streamKeeper.h"
#include "TAVO_player_delayGuard.h"
#include "TAVO_player_networkCaching.h"
#include "TAVO_player_soundDevice.h"
#include "TAVO_player_vlcLog.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_httpServer.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace {

// A loopback port that refuses connections: taken, then given back.
QByteArray closedPortUrl(const QByteArray &credentials = QByteArray())
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return "http://" + credentials + "127.0.0.1:" + QByteArray::number(port) + "/?src=1";
}

QStringList texts(const QList<TAVO_test_messageBoxes::Seen> &seen)
{
    QStringList result;
    for (const TAVO_test_messageBoxes::Seen &box : seen)
        result.append(box.text);
    return result;
}

// Runs `action` once `condition` holds, checking every 20 ms while the event loop runs.
void whenever(const std::function<bool()> &condition, const std::function<void()> &action)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, condition, action] {
        if (!condition())
            return;
        poll->deleteLater();
        poll->stop();
        action();
    });
    poll->start(20);
}


} // namespace

class tst_player : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void stopWithoutPlayerIsHarmless();
    void volumeWithoutPlayerStaysAt100();
    void locationThatCannotBeMadeLeavesIdle();
    void refusedConnectionShowsError();
    void errorLinesHideThePassword();
    void stopDuringStartUpEndsTheWatch();
    void silentStreamFailsAfterTheStartUpLimit();
    void stopWhileStateBoxIsOpenEndsTheWatch();
    void secondStartDuringStartUpTakesOver();
    void stopButtonDuringStartUpKeepsStartEnabled();
    void lostStreamWaitsLongerAfterEveryFailedAttempt();
    void lostStreamIsAskedForAgainUntilStopped_data();
    void lostStreamIsAskedForAgainUntilStopped();
    void cacheFollowsThePicturesLost_data();
    void cacheFollowsThePicturesLost();
    void creptDelayStartsTheStreamAgain_data();
    void creptDelayStartsTheStreamAgain();
    void everyListenerHearsLibVlcsLines_data();
    void everyListenerHearsLibVlcsLines();
    void clientLinesAreOffUnlessAskedFor_data();
    void clientLinesAreOffUnlessAskedFor();

private:
    TAVO_player_vlcPlayer *player() const { return window->player; }

    TAVO_ui_mainWindow *window = nullptr;
};

// One window for all: it keeps its player for the life of the process.
void tst_player::initTestCase()
{
    qputenv("ALSA_CONFIG_PATH", TAVO_SOURCE_DIR "/tests/support/null.asoundrc");
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void tst_player::cleanup()
{
    player()->stopPlay();
}

void tst_player::stopWithoutPlayerIsHarmless()
{
    player()->stopPlay();
    player()->stopPlay();
    QVERIFY(player()->isIdle());
}

void tst_player::volumeWithoutPlayerStaysAt100()
{
    player()->setVolumeUp();
    player()->setVolumeUp();
    player()->setVolumeDown();
    QCOMPARE(player()->volume(), 100);
}

void tst_player::locationThatCannotBeMadeLeavesIdle()
{
    TAVO_test_messageBoxes boxes;
    player()->startPlay(nullptr);
    QVERIFY(player()->isIdle());
    TAVO_test_eventLoop::runPosted();
    QVERIFY(boxes.seen.isEmpty());
}

// libVLC passes through its error state too quickly for polling; the box must still say "Error".
void tst_player::refusedConnectionShowsError()
{
    TAVO_test_messageBoxes boxes;
    player()->startPlay(closedPortUrl().constData());

    QCOMPARE(texts(boxes.seen), QStringList{QStringLiteral("Error")});
    const TAVO_test_messageBoxes::Seen &box = boxes.seen.first();
    QCOMPARE(box.title, QStringLiteral("Message"));
    QCOMPARE(box.buttons, 1);
    QCOMPARE(box.owner, window);
    QVERIFY2(box.informativeText.startsWith(QStringLiteral("The box refused the connection.\n\n")),
             qPrintable(box.informativeText));
    QCOMPARE(player()->lastFailure().reason, QStringLiteral("the box refused the connection"));
    QVERIFY(!player()->isIdle());  // the failed player stays until the next stop
    player()->stopPlay();
    QVERIFY(player()->isIdle());
}

// libVLC's error lines quote the location; the password in it must not reach the log.
void tst_player::errorLinesHideThePassword()
{
    QTemporaryFile log;
    QVERIFY(log.open());
    std::fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    dup2(log.handle(), STDERR_FILENO);
    {
        TAVO_test_messageBoxes boxes;
        player()->startPlay(closedPortUrl("admin:5820417369@").constData());
    }
    std::fflush(stderr);
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);

    QFile logged(log.fileName());
    QVERIFY(logged.open(QIODevice::ReadOnly));
    const QByteArray written = logged.readAll();
    QVERIFY2(written.contains("127.0.0.1"), written.constData());
    QVERIFY2(!written.contains("5820417369"), written.constData());
    QVERIFY(!player()->lastFailure().explanation.contains(QStringLiteral("5820417369")));
}

void tst_player::stopDuringStartUpEndsTheWatch()
{
    TAVO_test_httpServer silentBox(TAVO_test_httpServer::Answer::Silent);
    QVERIFY(silentBox.listen());
    TAVO_test_messageBoxes boxes;
    whenever([&] { return !silentBox.requestLines().isEmpty(); }, [this] { player()->stopPlay(); });

    player()->startPlay(QByteArray(silentBox.baseUrl().toLatin1() + "/?src=1").constData());

    QVERIFY(player()->isIdle());
    QCOMPARE(silentBox.requestLines().size(), 1);
    QVERIFY(boxes.seen.isEmpty());
}

// A box that takes the connection and never sends a byte: the start fails with "Error" in
// the end instead of leaving a black picture for ever.
void tst_player::silentStreamFailsAfterTheStartUpLimit()
{
    TAVO_test_httpServer silentBox(TAVO_test_httpServer::Answer::Silent);
    QVERIFY(silentBox.listen());
    TAVO_test_messageBoxes boxes;

    player()->startPlay(QByteArray(silentBox.baseUrl().toLatin1() + "/?src=1").constData());

    QCOMPARE(texts(boxes.seen), QStringList{QStringLiteral("Error")});
    QVERIFY(boxes.seen.first().informativeText.startsWith(QStringLiteral("The box sent no picture in time.")));
    QCOMPARE(player()->lastFailure().reason, QStringLiteral("the box sent no picture in time"));
    QVERIFY(player()->isIdle());
    QCOMPARE(silentBox.requestLines().size(), 1);
}

// Stop pressed while a box of the watch is open (a timer stands in for the click): the box goes,
// the watch ends, and nothing is touched of the released player.
void tst_player::stopWhileStateBoxIsOpenEndsTheWatch()
{
    whenever([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr; },
             [this] { player()->stopPlay(); });

    player()->startPlay(closedPortUrl().constData());

    QVERIFY(player()->isIdle());
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void tst_player::secondStartDuringStartUpTakesOver()
{
    TAVO_test_httpServer silentBox(TAVO_test_httpServer::Answer::Silent);
    QVERIFY(silentBox.listen());
    TAVO_test_messageBoxes boxes;
    const QByteArray second = closedPortUrl();
    whenever([&] { return !silentBox.requestLines().isEmpty(); }, [&] {
        player()->stopPlay();
        player()->startPlay(second.constData());
    });

    player()->startPlay(QByteArray(silentBox.baseUrl().toLatin1() + "/?src=1").constData());

    // Only the second start reported; its failed player is the current one.
    QCOMPARE(texts(boxes.seen), QStringList{QStringLiteral("Error")});
    QVERIFY(!player()->isIdle());
}

// Start's last steps run only after the start-up; a Stop pressed meanwhile must stay in effect.
void tst_player::stopButtonDuringStartUpKeepsStartEnabled()
{
    TAVO_test_httpServer silentBox(TAVO_test_httpServer::Answer::Silent);
    QVERIFY(silentBox.listen());
    TAVO_SERVER server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = QString::number(silentBox.port());
    server.device.UDN = QStringLiteral("0b1e5d2c-0000-4000-8000-00000000f00d");
    server.tavoStreamer.streamingPort = server.port;
    server.tavoStreamer.streamerSource[0].remoteControllerURL = QStringLiteral("/rcu/remote.xml");
    window->mManager->addServer(server);
    window->addServer(QStringLiteral("Silent (127.0.0.1)"));
    QVERIFY(TAVO_test_windowParts::clickServerRow(window, QStringLiteral("Silent (127.0.0.1)")));

    QPushButton *start = TAVO_test_windowParts::button(window, QStringLiteral("Start"));
    QPushButton *stop = TAVO_test_windowParts::button(window, QStringLiteral("Stop"));
    bool stopped = false;
    whenever([&] { return silentBox.requestLines().join(QLatin1Char('\n')).contains(QLatin1String("protocol=hpd")); },
             [&] {
                 stop->click();
                 stopped = true;
             });
    start->click();

    QVERIFY(stopped);
    QVERIFY(player()->isIdle());
    QVERIFY(start->isEnabled());
}


namespace {

// A keeper of a box "Box" whose player only counts what it is asked to do.
struct KeeperOfCountedPlayer
{
    int quietStarts = 0;
    TAVO_mgr_streamKeeper keeper{{[] {}, [this](const QByteArray &) { ++quietStarts; }, [] { return qint64(0); },
                                  TAVO_player_vlcPlayer::startUpLimitMs}};
    QStringList statusLines;

    KeeperOfCountedPlayer()
    {
        QObject::connect(&keeper, &TAVO_mgr_streamKeeper::status, &keeper,
                         [this](const QString &text) { statusLines.append(text); });
        keeper.requested(QStringLiteral("uuid-1"), QStringLiteral("Box"), "http://127.0.0.1:1/");
        keeper.startReturned(true, QString());
    }
};

} // namespace

// Every attempt that fails doubles the pause before the next, up to half a minute.
void tst_player::lostStreamWaitsLongerAfterEveryFailedAttempt()
{
    KeeperOfCountedPlayer counted;
    counted.statusLines.clear();
    for (int attempt = 0; attempt < 7; ++attempt)
        counted.keeper.lost();
    QStringList expected;
    for (const int seconds : {1, 2, 4, 8, 16, 30, 30})
        expected.append(QStringLiteral("Lost the stream of Box; trying again in %1 s…").arg(seconds));
    QCOMPARE(counted.statusLines, expected);
    counted.keeper.back();
    counted.keeper.lost();
    QCOMPARE(counted.statusLines.last(), QStringLiteral("Lost the stream of Box; trying again in 1 s…"));
}

void tst_player::lostStreamIsAskedForAgainUntilStopped_data()
{
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("quietStarts");
    QTest::newRow("kept") << false << 1;
    QTest::newRow("stopped during the pause") << true << 0;
}

void tst_player::lostStreamIsAskedForAgainUntilStopped()
{
    QFETCH(bool, stopped);
    QFETCH(int, quietStarts);
    KeeperOfCountedPlayer counted;
    counted.keeper.lost();
    if (stopped)
        counted.keeper.stopped();
    TAVO_test_eventLoop::runPastTimersOf(TAVO_mgr_streamKeeper::firstRetryMs);
    QCOMPARE(counted.quietStarts, quietStarts);
    QCOMPARE(counted.keeper.playingUdn(), QString());
}

void tst_player::cacheFollowsThePicturesLost_data()
{
    QTest::addColumn<int>("remembered");
    // Pictures lost in each window; the first while the stream settled, the last again and again.
    QTest::addColumn<QList<int>>("lostByWindow");
    // Pictures the stream carried in each window that were neither shown nor lost.
    QTest::addColumn<QList<int>>("unseenByWindow");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("caching");
    QTest::addColumn<int>("restarts");
    const QList<int> none{0};
    QTest::newRow("steady stream") << 0 << none << none << false << 100 << 0;
    QTest::newRow("a late picture now and then") << 0 << QList<int>{0, 2, 1, 2} << none << false << 100 << 0;
    QTest::newRow("losses while settling") << 0 << QList<int>{40, 0} << QList<int>{30, 0} << false << 100 << 0;
    QTest::newRow("bursts") << 0 << QList<int>{0, 0, 12} << none << false << 200 << 1;
    QTest::newRow("bursts thrown away unseen") << 0 << none << QList<int>{0, 0, 12} << false << 200 << 1;
    QTest::newRow("a hiccup now and then") << 0 << QList<int>{0, 0, 12, 0, 12, 0} << none << false << 100 << 0;
    QTest::newRow("a picture on its way at the edges") << 0 << none << QList<int>{0, 2, 1, 2} << false << 100 << 0;
    QTest::newRow("bursts while recording") << 0 << QList<int>{0, 12} << none << true << 200 << 0;
    QTest::newRow("bursts at the longest") << 1600 << QList<int>{0, 50} << none << false << 1600 << 0;
    QTest::newRow("long clean play") << 400 << none << none << false << 200 << 0;
}

// Every window of a stream shows 250 pictures beside those it loses or never shows.
void tst_player::cacheFollowsThePicturesLost()
{
    QFETCH(int, remembered);
    QFETCH(QList<int>, lostByWindow);
    QFETCH(QList<int>, unseenByWindow);
    QFETCH(bool, recording);
    QFETCH(int, caching);
    QFETCH(int, restarts);
    const QString udn = QStringLiteral("uuid:cache-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    TAVO_mgr_clientSettings::setNetworkCachingFor(udn, remembered);

    const TAVO_player_networkCaching::Timing timing{10, 10, 60};
    TAVO_player_vlcPlayer::PictureCounts counts;
    int windows = 0;
    int restarted = 0;
    TAVO_player_networkCaching chooser(
        {[&]() -> std::optional<TAVO_player_vlcPlayer::PictureCounts> {
             const auto inWindow = [&](const QList<int> &byWindow) { return byWindow.at(std::min(windows, int(byWindow.size()) - 1)); };
             const int lost = inWindow(lostByWindow);
             counts = {counts.lost + lost, counts.shown + 250, counts.carried + 250 + lost + inWindow(unseenByWindow)};
             ++windows;
             return counts;
         },
         [&] { return !recording; }, [&] { ++restarted; }},
        nullptr, timing);
    chooser.playingChanged(udn);
    QTRY_VERIFY(windows >= std::max(lostByWindow.size(), unseenByWindow.size()));
    QTRY_COMPARE(TAVO_player_networkCaching::cachingFor(udn), caching);
    // A chooser that still watches has looked at three more windows by then.
    for (int step = 0; step < 3; ++step)
        TAVO_test_eventLoop::runPastTimersOf(timing.windowMs);
    QCOMPARE(TAVO_player_networkCaching::cachingFor(udn), caching);
    QCOMPARE(restarted, restarts);
    // Every cache plays in libVLC's live mode, which follows the box's clock.
    QCOMPARE(TAVO_player_networkCaching::mediaOptionsFor(udn),
             QList<QByteArray>{":network-caching=" + QByteArray::number(caching)});
}

void tst_player::creptDelayStartsTheStreamAgain_data()
{
    // The delay libVLC raised the stream's to while it settled, and later.
    QTest::addColumn<int>("settling");
    QTest::addColumn<int>("later");
    QTest::addColumn<bool>("recording");
    // An earlier start of the box, stopped by the user: its cache (0: none) and where it settled.
    QTest::addColumn<int>("earlierCaching");
    QTest::addColumn<int>("earlierSettling");
    QTest::addColumn<int>("restarts");
    QTest::newRow("raised while settling") << 250 << 250 << false << 0 << 0 << 0;
    QTest::newRow("crept within the allowance") << 250 << 350 << false << 0 << 0 << 0;
    QTest::newRow("crept beyond it") << 250 << 351 << false << 0 << 0 << 1;
    QTest::newRow("crept from the cache") << 0 << 201 << false << 0 << 0 << 1;
    QTest::newRow("crept while recording") << 250 << 400 << true << 0 << 0 << 0;
    QTest::newRow("settled high, crept from the box's lowest") << 250 << 260 << false << 100 << 150 << 1;
    QTest::newRow("settled low, crept from its own") << 250 << 350 << false << 100 << 300 << 0;
    QTest::newRow("the lowest at another cache") << 250 << 260 << false << 200 << 150 << 0;
}

// Every start, with a cache of 100 ms, raises the delay to `settling` while it settles and to
// `later` once it has; a second creep soon after the guard's own new start is left alone. The
// guard reads the test's clock: each step sets the time and the delay, and waits for the
// guard's next look at them.
void tst_player::creptDelayStartsTheStreamAgain()
{
    constexpr int caching = 100;
    QFETCH(int, settling);
    QFETCH(int, later);
    QFETCH(bool, recording);
    QFETCH(int, earlierCaching);
    QFETCH(int, earlierSettling);
    QFETCH(int, restarts);
    const TAVO_player_delayGuard::Timing timing;
    const QString udn = QStringLiteral("uuid:creep");
    qint64 nowMs = 0;
    int delayMs = 0;
    int looks = 0;
    int restarted = 0;
    TAVO_player_delayGuard *guardOf = nullptr;
    TAVO_player_delayGuard guard({[&] {
                                      ++looks;
                                      return delayMs;
                                  },
                                  [&] { return !recording; },
                                  [&] {
                                      ++restarted;
                                      guardOf->playingChanged(udn, caching);
                                  }},
                                 nullptr, {timing.settleMs, 1, timing.fewestMsBetweenRestarts, [&] { return nowMs; }});
    guardOf = &guard;
    const auto looksAt = [&](qint64 atMs, int raisedMs) {
        nowMs = atMs;
        delayMs = raisedMs;
        const int before = looks;
        return QTest::qWaitFor([&] { return looks > before; }, 5000);
    };
    // A start settles at `settledMs`, and its delay is `laterMs` once it has settled.
    const auto playFromNow = [&](int settledMs, int laterMs) {
        const qint64 startedMs = nowMs;
        return looksAt(startedMs, settledMs) && looksAt(startedMs + timing.settleMs + 1, laterMs);
    };
    if (earlierCaching > 0) {
        guard.playingChanged(udn, earlierCaching);
        QVERIFY(playFromNow(earlierSettling, earlierSettling));
        guard.playingChanged(QString(), 0);
    }
    guard.playingChanged(udn, caching);
    QVERIFY(playFromNow(settling, later));
    if (restarted > 0)
        QVERIFY(playFromNow(settling, later));
    QCOMPARE(restarted, restarts);
}

void tst_player::everyListenerHearsLibVlcsLines_data()
{
    QTest::addColumn<QByteArray>("objectType");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QVariantList>("told");
    QTest::newRow("no sound device") << QByteArray("decoder") << QByteArray("failed to create audio output")
                                     << QByteArray(SIGNAL(soundOutputFailed())) << QVariantList();
    QTest::newRow("raised delay") << QByteArray("input")
                                  << QByteArray("ES_OUT_SET_(GROUP_)PCR  is called too late (pts_delay increased to 250 ms)")
                                  << QByteArray(SIGNAL(delayRaised(int))) << QVariantList{250};
    QTest::newRow("recording not written") << QByteArray("access out")
                                           << QByteArray("cannot write: No space left on device")
                                           << QByteArray(SIGNAL(fileWriteFailed(QString)))
                                           << QVariantList{QStringLiteral("No space left on device")};
}

// A second listener of a kind of line does not take it away from the first.
void tst_player::everyListenerHearsLibVlcsLines()
{
    QFETCH(QByteArray, objectType);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, kind);
    QFETCH(QVariantList, told);
    TAVO_player_soundDevice sound;
    TAVO_player_vlcLog log(&sound);
    QSignalSpy first(&log, kind.constData());
    QSignalSpy second(&log, kind.constData());

    log.errorLine(objectType.constData(), line.constData());

    QCOMPARE(first, QList<QVariantList>{told});
    QCOMPARE(second, QList<QVariantList>{told});
}

void tst_player::clientLinesAreOffUnlessAskedFor_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<bool>("written");
    QTest::newRow("by default") << QString() << false;
    QTest::newRow("asked for") << QStringLiteral("tavo.player.delay.debug=true") << true;
    QTest::newRow("all asked for") << QStringLiteral("tavo.*.debug=true") << true;
}

// The client's own lines (here the delay guard's) go to categories of their own, which
// QT_LOGGING_RULES switches on with rules like these.
void tst_player::clientLinesAreOffUnlessAskedFor()
{
    QFETCH(QString, rules);
    QFETCH(bool, written);
    static QStringList lines;
    lines.clear();
    QLoggingCategory::setFilterRules(rules);
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { lines.append(text); });
    bool restarted = false;
    TAVO_player_delayGuard guard({[] { return 500; }, [] { return true; }, [&] { restarted = true; }}, nullptr,
                                 {0, 10, 60000});
    guard.playingChanged(QStringLiteral("uuid:lines"), 100);
    const bool restartedInTime = QTest::qWaitFor([&] { return restarted; });
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    QVERIFY(restartedInTime);
    QCOMPARE(lines.filter(QStringLiteral("Delay of uuid:lines crept")).size(), written ? 1 : 0);
}

QTEST_MAIN(tst_player)
#include "tst_player.moc"
