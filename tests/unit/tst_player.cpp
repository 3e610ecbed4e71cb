#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_streamKeeper.h"
#include "TAVO_mgr_tuningRules.h"
#include "TAVO_player_soundDevice.h"
#include "TAVO_player_restartOwner.h"
#include "TAVO_player_vlcLog.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_httpServer.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_quitSignals.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QTableWidget>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
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


// What `action` writes to the standard error.
QByteArray writtenToStderr(const std::function<void()> &action)
{
    QTemporaryFile log;
    if (!log.open())
        return "(no log file)";
    std::fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    dup2(log.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    QFile logged(log.fileName());
    return logged.open(QIODevice::ReadOnly) ? logged.readAll() : QByteArray("(log file unread)");
}

} // namespace

Q_DECLARE_METATYPE(TAVO_player_vlcPlayer::PictureCounts)
Q_DECLARE_METATYPE(TAVO_mgr_tuningRules::Restarts)

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
    void linesOnTheTerminal_data();
    void linesOnTheTerminal();
    void stopThatDoesNotReturnLeavesTheWindowFree();
    void quitSignalEndsAClientWhoseWindowIsStuck();
    void stopDuringStartUpEndsTheWatch();
    void silentStreamFailsAfterTheStartUpLimit();
    void stopWhileStateBoxIsOpenEndsTheWatch();
    void secondStartDuringStartUpTakesOver();
    void stopButtonDuringStartUpKeepsStartEnabled();
    void lostStreamWaitsLongerAfterEveryFailedAttempt();
    void lostStreamIsAskedForAgainUntilStopped_data();
    void lostStreamIsAskedForAgainUntilStopped();
    void missedPictures_data();
    void missedPictures();
    void cacheVerdicts_data();
    void cacheVerdicts();
    void rememberedCacheHolds_data();
    void rememberedCacheHolds();
    void delayCreep_data();
    void delayCreep();
    void restartsAreHeldOff_data();
    void restartsAreHeldOff();
    void measuresAfreshAfterEveryStart();
    void creepRestartsKeepTheirGap_data();
    void creepRestartsKeepTheirGap();
    void smoothPlaySavesAShorterCache_data();
    void smoothPlaySavesAShorterCache();
    void resetStreamTuningForgetsTheBox();
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
    player()->setStopping({});
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
    const QByteArray written = writtenToStderr([this] {
        TAVO_test_messageBoxes boxes;
        player()->startPlay(closedPortUrl("admin:5820417369@").constData());
    });
    QVERIFY2(written.contains("127.0.0.1"), written.constData());
    QVERIFY2(!written.contains("5820417369"), written.constData());
    QVERIFY(!player()->lastFailure().explanation.contains(QStringLiteral("5820417369")));
}

void tst_player::linesOnTheTerminal_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the key that the pinning answers")
        << QByteArray("Certificate verification failure: The certificate is NOT trusted. The certificate issuer is "
                      "unknown.")
        << QByteArray() << QStringLiteral("the box's key is not the pinned one");
    QTest::newRow("a box's control characters")
        << QByteArray("HTTP 404 error \x1b]0;owned\x07\r\nx") << QByteArray("libVLC error: HTTP 404 error ?]0;owned???x\n")
        << QStringLiteral("the box answered HTTP 404 instead of the stream");
}

// What reaches the terminal of libVLC's lines; the reason a failed start gives is still read
// from every line.
void tst_player::linesOnTheTerminal()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, written);
    QFETCH(QString, reason);
    TAVO_player_soundDevice sound;
    TAVO_player_vlcLog log(&sound);
    QCOMPARE(writtenToStderr([&] { log.errorLine("tls client", line.constData()); }), written);
    QCOMPARE(log.failure(QStringLiteral("127.0.0.3")).reason, reason);
}

// A player whose stop never returns (its video thread spun once the X server failed under it)
// does not hold the window: the event loop goes on meanwhile, and the player is released once
// its stop returns.
void tst_player::stopThatDoesNotReturnLeavesTheWindowFree()
{
    QSemaphore eventLoopRan;
    QSemaphore released;
    std::atomic_bool stoppedAfterTheEventLoopRan{false};
    player()->setStopping({[&](libvlc_media_player_t *stuck) {
                               stoppedAfterTheEventLoopRan = eventLoopRan.tryAcquire(1, 5000);
                               TAVO_player_vlcPlayer::Stopping().stopAndRelease(stuck);
                               released.release();
                           },
                           0});
    player()->startQuietly(closedPortUrl().constData());
    QTimer::singleShot(0, [&] { eventLoopRan.release(); });

    player()->stopPlay();

    QVERIFY(player()->isIdle());
    QTRY_COMPARE(released.available(), 1);
    QVERIFY(stoppedAfterTheEventLoopRan);
}

// SIGTERM while the GUI thread is stuck (here in the test's wait): the watch ends the client
// from its own thread.
void tst_player::quitSignalEndsAClientWhoseWindowIsStuck()
{
    QSemaphore endedWithoutTheWindow;
    const TAVO_ui_quitSignals quitSignals({[] {}, [&] { endedWithoutTheWindow.release(); }, 0});
    ::raise(SIGTERM);
    QVERIFY(endedWithoutTheWindow.tryAcquire(1, 5000));
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
    TAVO_test_eventLoop::runPastTimersOf(TAVO_mgr_backOff::firstMs);
    QCOMPARE(counted.quietStarts, quietStarts);
    QCOMPARE(counted.keeper.playingUdn(), QString());
}

using Counts = TAVO_player_vlcPlayer::PictureCounts;

void tst_player::missedPictures_data()
{
    QTest::addColumn<Counts>("before");
    QTest::addColumn<Counts>("after");
    QTest::addColumn<int>("missed");  // -1: no window, the counts are another player's
    QTest::addColumn<bool>("tooMany");
    QTest::newRow("a picture on its way at the edges") << Counts{0, 1000, 1000} << Counts{0, 1298, 1300} << 0 << false;
    QTest::newRow("lost in bursts") << Counts{0, 1000, 1000} << Counts{12, 1288, 1300} << 12 << true;
    QTest::newRow("thrown away unseen") << Counts{0, 1000, 1000} << Counts{0, 1288, 1300} << 10 << true;
    QTest::newRow("fewer than one in a hundred") << Counts{0, 1000, 1000} << Counts{5, 1595, 1600} << 5 << false;
    QTest::newRow("frame rate not known yet") << Counts{0, 1000, 0} << Counts{6, 1290, 0} << 6 << true;
    QTest::newRow("a new player") << Counts{3, 1000, 1000} << Counts{0, 10, 10} << -1 << false;
}

void tst_player::missedPictures()
{
    QFETCH(Counts, before);
    QFETCH(Counts, after);
    QFETCH(int, missed);
    QFETCH(bool, tooMany);
    const std::optional<TAVO_mgr_tuningRules::Window> window = TAVO_mgr_tuningRules::windowBetween(before, after);
    QCOMPARE(window ? window->missed : -1, missed);
    QCOMPARE(window && TAVO_mgr_tuningRules::tooManyMissed(*window), tooMany);
}

void tst_player::cacheVerdicts_data()
{
    // Pictures missed in each window of 10 s that carried 300; the verdict after each window:
    // K(eep), L(onger), S(horter). A smooth play of 5 minutes is 30 windows.
    QTest::addColumn<QList<int>>("missedByWindow");
    QTest::addColumn<QString>("verdicts");
    const auto windows = [](int count, int missed) { return QList<int>(count, missed); };
    const QString smooth = QString(29, QLatin1Char('K')) + QLatin1Char('S');
    QTest::newRow("bursts") << QList<int>{12, 12} << QStringLiteral("KL");
    QTest::newRow("bursts that go on") << QList<int>{12, 12, 12} << QStringLiteral("KLL");
    QTest::newRow("a hiccup now and then") << QList<int>{12, 0, 12, 0, 12} << QStringLiteral("KKKKK");
    QTest::newRow("steady") << windows(30, 0) << smooth;
    QTest::newRow("a late picture now and then") << windows(30, 1) << smooth;
    QTest::newRow("a little more than that") << windows(30, 2) << QString(30, QLatin1Char('K'));
    QTest::newRow("a burst starts the smooth play again") << QList<int>{12} + windows(30, 0) << QLatin1Char('K') + smooth;
    QTest::newRow("each smooth play judged once") << windows(60, 0) << smooth + smooth;
}

void tst_player::cacheVerdicts()
{
    QFETCH(QList<int>, missedByWindow);
    QFETCH(QString, verdicts);
    constexpr int windowMs = 10000;
    TAVO_mgr_tuningRules::CacheWatch watch;
    QString said;
    for (const int missed : missedByWindow) {
        const auto verdict = TAVO_mgr_tuningRules::judgeWindow(watch, {missed, 300}, windowMs, 5 * 60 * 1000);
        said += QLatin1Char("KLS"[int(verdict)]);
    }
    QCOMPARE(said, verdicts);
}

void tst_player::rememberedCacheHolds_data()
{
    QTest::addColumn<bool>("dated");  // as versions before dates and rules wrote it: a bare number
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<int>("given");
    const int rule = TAVO_mgr_tuningRules::cachingRule;
    QTest::newRow("chosen yesterday") << true << 1 << rule << 400 << 400;
    QTest::newRow("chosen 29 days ago") << true << 29 << rule << 400 << 400;
    QTest::newRow("chosen 30 days ago") << true << 30 << rule << 400 << 200;
    QTest::newRow("dated ahead of the clock") << true << -1 << rule << 400 << 200;
    QTest::newRow("chosen by other rules") << true << 1 << rule - 1 << 400 << 200;
    QTest::newRow("longer than the longest") << true << 1 << rule << 3200 << 200;
    QTest::newRow("shorter than the shortest") << true << 1 << rule << 100 << 200;
    QTest::newRow("undated") << false << 0 << 0 << 400 << 200;
}

// A remembered cache that no longer holds gives the shortest, and is gone from the settings.
void tst_player::rememberedCacheHolds()
{
    QFETCH(bool, dated);
    QFETCH(int, daysAgo);
    QFETCH(int, rule);
    QFETCH(int, milliseconds);
    QFETCH(int, given);
    const QString udn = QStringLiteral("uuid:remembered");
    const QString undatedKey = QStringLiteral("networkCaching/") + udn;
    const QDateTime now(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);
    TAVO_mgr_clientSettings::forgetNetworkCachingFor(udn);
    if (dated)
        TAVO_mgr_clientSettings::setNetworkCachingFor(udn, {milliseconds, now.addDays(-daysAgo), rule});
    else
        TAVO_mgr_clientSettings::open()->setValue(undatedKey, milliseconds);
    QCOMPARE(TAVO_player_restartOwner::cachingFor(udn, now), given);
    QCOMPARE(TAVO_mgr_clientSettings::networkCachingFor(udn).has_value(), given == milliseconds);
    QVERIFY(!TAVO_mgr_clientSettings::open()->contains(undatedKey));
}

void tst_player::delayCreep_data()
{
    // Where the box's recent starts settled (this one's last), the delay before and now.
    QTest::addColumn<QList<int>>("settled");
    QTest::addColumn<int>("lastDelay");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("crept");
    QTest::newRow("within the allowance") << QList<int>{250} << 250 << 350 << false;
    QTest::newRow("beyond it") << QList<int>{250} << 250 << 351 << true;
    QTest::newRow("beyond the cache") << QList<int>{100} << 100 << 201 << true;
    QTest::newRow("high, but not raised now") << QList<int>{250} << 400 << 400 << false;
    QTest::newRow("one lucky start among usual ones") << QList<int>{150, 250, 260} << 260 << 340 << false;
    QTest::newRow("beyond the usual ones") << QList<int>{150, 250, 260} << 260 << 351 << true;
    QTest::newRow("two starts: from their middle") << QList<int>{150, 250} << 250 << 301 << true;
    QTest::newRow("the usual starts settle high") << QList<int>{250, 300, 350, 260, 270} << 300 << 370 << false;
}

void tst_player::delayCreep()
{
    QFETCH(QList<int>, settled);
    QFETCH(int, lastDelay);
    QFETCH(int, delay);
    QFETCH(bool, crept);
    const int baseline = TAVO_mgr_tuningRules::creepBaseline(settled);
    QCOMPARE(TAVO_mgr_tuningRules::delayCrept(delay, lastDelay, baseline), crept);
}

namespace {

// The times are measured from the tenth hour of a steady clock.
constexpr qint64 minute = 60 * 1000;
constexpr qint64 atMs = 600 * minute;

} // namespace

void tst_player::restartsAreHeldOff_data()
{
    QTest::addColumn<TAVO_mgr_tuningRules::Restarts>("restarts");
    QTest::addColumn<bool>("mayRestart");
    QTest::addColumn<bool>("mayRestartForCreep");
    using Restarts = TAVO_mgr_tuningRules::Restarts;
    QTest::newRow("never") << Restarts{} << true << true;
    QTest::newRow("started again a second ago") << Restarts{atMs - 1000, {}, {}} << false << true;
    QTest::newRow("a minute after the last") << Restarts{atMs - minute, {atMs - minute}, {}} << true << true;
    const QList<qint64> threeInTheHour{atMs - 2 * minute, atMs - 20 * minute, atMs - 40 * minute};
    QTest::newRow("four within the hour")
        << Restarts{atMs - 2 * minute, threeInTheHour + QList{atMs - 59 * minute}, {}} << false << true;
    QTest::newRow("the first of four over an hour ago")
        << Restarts{atMs - 2 * minute, threeInTheHour + QList{atMs - 61 * minute}, {}} << true << true;
    QTest::newRow("crept again within 5 minutes") << Restarts{atMs - 4 * minute, {}, atMs - 4 * minute} << true << false;
    QTest::newRow("crept again after 5 minutes") << Restarts{atMs - 6 * minute, {}, atMs - 6 * minute} << true << true;
}

void tst_player::restartsAreHeldOff()
{
    QFETCH(TAVO_mgr_tuningRules::Restarts, restarts);
    QFETCH(bool, mayRestart);
    QFETCH(bool, mayRestartForCreep);
    QCOMPARE(TAVO_mgr_tuningRules::mayRestart(restarts, atMs), mayRestart);
    QCOMPARE(TAVO_mgr_tuningRules::mayRestartForCreep(restarts, atMs), mayRestartForCreep);
}

namespace {

// A owner of the box "Box" on the test's clock, whose stream is what the test sets: each look
// sets the time and waits for the owner's next look at the stream.
struct TunedStream
{
    static inline const QString udn = QStringLiteral("uuid:tuned");
    static constexpr int settleMs = 15000;
    static constexpr int windowMs = 10000;
    static inline const QDateTime today{QDate(2025, 3, 1), QTime(12, 0), Qt::UTC};
    qint64 nowMs = 0;
    int delayMs = 0;
    Counts counts;
    int looks = 0;
    QStringList said;
    QList<TAVO_player_restartOwner::Reason> restarts;
    TAVO_player_restartOwner owner{{[this] { return std::optional<Counts>(counts); },
                                   [this] {
                                       ++looks;
                                       return delayMs;
                                   },
                                   [] { return QStringLiteral("Box"); }, [] {}},
                                  nullptr,
                                  {1, settleMs, windowMs, 5 * 60 * 1000, [this] { return nowMs; },
                                   [] { return today; }}};

    TunedStream()
    {
        TAVO_mgr_clientSettings::forgetNetworkCachingFor(udn);
        QObject::connect(&owner, &TAVO_player_restartOwner::status, &owner, [this](const QString &text) { said << text; });
        QObject::connect(&owner, &TAVO_player_restartOwner::restarting, &owner,
                         [this](const QString &, TAVO_player_restartOwner::Reason reason) { restarts << reason; });
    }
    bool looksAt(qint64 atMs)
    {
        nowMs = atMs;
        const int before = looks;
        return QTest::qWaitFor([&] { return looks > before; }, 5000);
    }
    // A window of 10 s in which the stream showed 300 pictures and missed these.
    bool looksAtWindow(qint64 atMs, int missed)
    {
        counts = {counts.lost + missed, counts.shown + 300, counts.carried + 300 + missed};
        return looksAt(atMs);
    }
    // A start of the stream that settles at 250 ms, and whose delay then creeps to 400 ms at
    // `creepMs`.
    bool creepsAt(qint64 creepMs)
    {
        nowMs = creepMs - settleMs - 2;
        delayMs = 250;
        owner.playingChanged(udn);
        if (!looksAt(nowMs + settleMs + 1))
            return false;
        delayMs = 400;
        return looksAt(creepMs);
    }
    // Another start of the stream, made by someone else (the stream keeper's reconnect, the
    // user's Start): a new player, whose delay libVLC raises as it settles.
    void startedAgain()
    {
        counts = {};
        delayMs = 400;
        owner.playingChanged(QString());
        TAVO_test_eventLoop::runPastTimersOf(1);
        nowMs += TAVO_mgr_tuningRules::holdOffMs;
        owner.playingChanged(udn);
    }
};

} // namespace

// A stream missed too many pictures in one window, then was started again by someone else; the
// new start settles with a higher delay, and its first window misses too many again: that is
// not two windows in a row, nor a creep. Only its second window makes the longer cache.
void tst_player::measuresAfreshAfterEveryStart()
{
    TunedStream stream;
    stream.owner.playingChanged(TunedStream::udn);
    QVERIFY(stream.looksAt(1));
    QVERIFY(stream.looksAt(TunedStream::settleMs + 1));
    QVERIFY(stream.looksAtWindow(TunedStream::settleMs + TunedStream::windowMs + 1, 12));

    stream.startedAgain();
    const qint64 startedMs = stream.nowMs;
    QVERIFY(stream.looksAt(startedMs + 1));
    QVERIFY(stream.looksAt(startedMs + TunedStream::settleMs + 1));
    QVERIFY(stream.looksAtWindow(startedMs + TunedStream::settleMs + TunedStream::windowMs + 1, 12));
    QCOMPARE(stream.restarts, QList<TAVO_player_restartOwner::Reason>());

    QVERIFY(stream.looksAtWindow(startedMs + TunedStream::settleMs + 2 * TunedStream::windowMs + 1, 12));
    QCOMPARE(stream.restarts, QList{TAVO_player_restartOwner::Reason::LongerCache});
    QCOMPARE(stream.said, QStringList{QStringLiteral("Box: starting the stream again with a longer buffer (400 ms)")});
    // Remembered with the day and the rules that chose it.
    QCOMPARE(TAVO_player_restartOwner::cachingFor(TunedStream::udn, QDateTime(QDate(2025, 3, 2), QTime(12, 0), Qt::UTC)), 400);
}

void tst_player::creepRestartsKeepTheirGap_data()
{
    QTest::addColumn<qint64>("gapMs");  // from the first creep to the second
    QTest::addColumn<int>("restarts");
    QTest::newRow("crept again within 5 minutes") << 4 * minute << 1;
    QTest::newRow("crept again after 5 minutes") << 6 * minute << 2;
}

// A delay that climbs back soon after the start again for it starts no second one.
void tst_player::creepRestartsKeepTheirGap()
{
    QFETCH(qint64, gapMs);
    QFETCH(int, restarts);
    TunedStream stream;
    const qint64 firstCreepMs = TunedStream::settleMs + 2;
    QVERIFY(stream.creepsAt(firstCreepMs));
    QVERIFY(stream.creepsAt(firstCreepMs + gapMs));
    QCOMPARE(stream.restarts.size(), restarts);
}

void tst_player::smoothPlaySavesAShorterCache_data()
{
    QTest::addColumn<int>("remembered");
    QTest::addColumn<int>("nextStart");
    QTest::newRow("from 800 ms") << 800 << 400;
    QTest::newRow("down to the shortest") << 400 << 200;
}

// Five minutes of smooth play: the box's next start gets the next shorter cache.
void tst_player::smoothPlaySavesAShorterCache()
{
    QFETCH(int, remembered);
    QFETCH(int, nextStart);
    TunedStream stream;
    TAVO_mgr_clientSettings::setNetworkCachingFor(TunedStream::udn, {remembered, stream.today.addDays(-1),
                                                                     TAVO_mgr_tuningRules::cachingRule});
    stream.owner.playingChanged(TunedStream::udn);
    qint64 atMs = TunedStream::settleMs + 1;
    QVERIFY(stream.looksAt(atMs));
    for (int window = 0; window < 30; ++window)
        QVERIFY(stream.looksAtWindow(atMs += TunedStream::windowMs, 0));
    QCOMPARE(TAVO_player_restartOwner::cachingFor(TunedStream::udn, stream.today), nextStart);
}

// The box list's context menu, opened on a box's row, forgets the cache the box was given.
void tst_player::resetStreamTuningForgetsTheBox()
{
    TAVO_SERVER server;
    server.device.UDN = QStringLiteral("0b1e5d2c-0000-4000-8000-00000000beef");
    server.device.friendlyName = QStringLiteral("Den & Hall");
    server.tavoStreamer.streamerSource[0].remoteControllerURL = QStringLiteral("/rcu/remote.xml");
    window->mManager->addServer(server);
    window->addServer(QStringLiteral("Den & Hall (127.0.0.1)"));
    TAVO_mgr_clientSettings::setNetworkCachingFor(server.device.UDN, {400, QDateTime::currentDateTimeUtc(),
                                                                      TAVO_mgr_tuningRules::cachingRule});
    auto *table = window->findChild<QTableWidget *>();
    const QRect row = table->visualItemRect(TAVO_test_windowParts::serverRow(window, QStringLiteral("Den & Hall (127.0.0.1)")));
    Q_EMIT table->customContextMenuRequested(row.center());
    QMenu *menu = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); }));
    QAction *reset = TAVO_test_windowParts::menuAction(menu, QStringLiteral("Reset stream tuning of Den && Hall"));
    QVERIFY(reset && reset->isEnabled());
    reset->trigger();
    menu->close();
    QCOMPARE(TAVO_player_restartOwner::cachingFor(server.device.UDN), TAVO_mgr_tuningRules::shortestCachingMs);
    QCOMPARE(TAVO_test_windowParts::statusMessage(window),
             QStringLiteral("Stream tuning of Den & Hall reset: its next start gets the shortest buffer (200 ms)"));
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
    QTest::newRow("asked for") << QStringLiteral("tavo.player.tuning.debug=true") << true;
    QTest::newRow("all asked for") << QStringLiteral("tavo.*.debug=true") << true;
}

// The client's own lines (here the stream owner's) go to categories of their own, which
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
    TunedStream stream;
    stream.owner.playingChanged(TunedStream::udn);
    const bool looked = stream.looksAt(1) && stream.looksAt(TunedStream::settleMs + 1)
                        && stream.looksAtWindow(TunedStream::settleMs + TunedStream::windowMs + 1, 12)
                        && stream.looksAtWindow(TunedStream::settleMs + 2 * TunedStream::windowMs + 1, 12);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    QVERIFY(looked);
    QCOMPARE(stream.restarts, QList{TAVO_player_restartOwner::Reason::LongerCache});
    QCOMPARE(lines.filter(QStringLiteral("Network cache of uuid:tuned: 400 ms")).size(), written ? 1 : 0);
}

QTEST_MAIN(tst_player)
#include "tst_player.moc"
