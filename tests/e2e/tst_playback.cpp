// Playback end to end: the client's main window against simulated boxes, on a real X display.

#include "TAVO_mgr_streamKeeper.h"
#include "TAVO_mgr_tuningRules.h"
#include "TAVO_player_restartOwner.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_boxSim.h"
#include "TAVO_test_eventLoop.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenNotice.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_volumeControl.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString plainUuid = QStringLiteral("5a1f0c3e-0001-4000-8000-0000000000a1");
const QString encryptedUuid = QStringLiteral("5a1f0c3e-0002-4000-8000-0000000000a2");
const QString foreignKeyUuid = QStringLiteral("5a1f0c3e-0003-4000-8000-0000000000a3");
const QString restartingUuid = QStringLiteral("5a1f0c3e-0004-4000-8000-0000000000a4");
const QString goneUuid = QStringLiteral("5a1f0c3e-0005-4000-8000-0000000000a5");
const QString stallingUuid = QStringLiteral("5a1f0c3e-0006-4000-8000-0000000000a6");
const QString endingUuid = QStringLiteral("5a1f0c3e-0007-4000-8000-0000000000a7");
const QString droppingUuid = QStringLiteral("5a1f0c3e-0008-4000-8000-0000000000a8");
const QString burstyUuid = QStringLiteral("5a1f0c3e-0009-4000-8000-0000000000a9");
const QString falteringUuid = QStringLiteral("5a1f0c3e-0010-4000-8000-0000000000b0");
// The simulator's stream: 30 pictures a second.
constexpr int streamPicturesPerSecond = 30;
const QString streamQuery = QStringLiteral("/?src=1&vcodec=mpeg2&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd");




// What the X server shows in the widget's area: libVLC draws in a window of its own in there.
QImage screenOf(QWidget *widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Share of pixels that are clearly not black, sampled on a grid.
double litShare(const QImage &image)
{
    int lit = 0;
    int all = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            ++all;
            if (qGray(image.pixel(x, y)) > 40)
                ++lit;
        }
    }
    return all ? double(lit) / all : 0;
}

double changedShare(const QImage &before, const QImage &after)
{
    if (before.size() != after.size())
        return 1;
    int changed = 0;
    int all = 0;
    for (int y = 0; y < before.height(); y += 4) {
        for (int x = 0; x < before.width(); x += 4) {
            ++all;
            if (qAbs(qGray(before.pixel(x, y)) - qGray(after.pixel(x, y))) > 24)
                ++changed;
        }
    }
    return all ? double(changed) / all : 0;
}

bool isMarkedPlaying(QWidget *window, const QString &rowText)
{
    const QTableWidgetItem *row = TAVO_test_windowParts::serverRow(window, rowText);
    return row && row->font().bold();
}

// The rows marked as playing.
QStringList playingRows(QWidget *window)
{
    QStringList marked;
    for (const QString &text : TAVO_test_windowParts::rowTexts(window)) {
        if (isMarkedPlaying(window, text))
            marked << text;
    }
    return marked;
}

// The test runs in a mount namespace of its own (main), where it may put small file systems
// over the user's folders.
bool ownMounts = false;

QString videosFolder()
{
    return QDir::homePath() + QStringLiteral("/Videos");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// The files that appeared in `folder` since `before` was listed.
QStringList newFiles(const QString &folder, const QStringList &before)
{
    QStringList added;
    for (const QString &name : filesIn(folder)) {
        if (!before.contains(name))
            added << QDir(folder).filePath(name);
    }
    return added;
}

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(60000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll()).trimmed();
}

// The sound packets of a recording that decode to no frame: "first", "last" or their number.
QStringList undecodedSoundPackets(const QString &file)
{
    const auto positions = [&file](const QString &entries) {
        return run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-select_streams"),
                                               QStringLiteral("a"), QStringLiteral("-show_entries"), entries,
                                               QStringLiteral("-of"), QStringLiteral("csv=p=0"), file})
            .remove(QLatin1Char(','))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    const QStringList packets = positions(QStringLiteral("packet=pos"));
    const QStringList decoded = positions(QStringLiteral("frame=pkt_pos"));
    QStringList undecoded;
    for (int i = 0; i < packets.size(); ++i) {
        if (!decoded.contains(packets.at(i)))
            undecoded << (i == 0 ? QStringLiteral("first") : i == packets.size() - 1 ? QStringLiteral("last") : QString::number(i));
    }
    return undecoded;
}

// The right-hand mark of a running recording, while it is shown.
QString recordingMark(QMainWindow *window)
{
    for (const QLabel *label : window->statusBar()->findChildren<QLabel *>()) {
        if (label->isVisible() && label->text().startsWith(QStringLiteral("● REC")))
            return label->text();
    }
    return {};
}

QMessageBox *shownMessage(QWidget *window)
{
    for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

QByteArray knownHosts()
{
    QFile file(QDir::homePath() + QStringLiteral("/.gnutls/known_hosts"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray boxKey()
{
    QFile file(QStringLiteral(TAVO_SOURCE_DIR "/tools/boxsim/data/box_pubkey.b64"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

// What the process writes to its standard error while the capture lives: libVLC and ALSA write
// there directly, not through Qt's messages.
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        file.open();
        std::fflush(stderr);
        dup2(file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { dup2(saved, STDERR_FILENO); close(saved); }
    QStringList lines()
    {
        std::fflush(stderr);
        file.seek(0);
        return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    const int saved = dup(STDERR_FILENO);
    QTemporaryFile file;
};

} // namespace

using namespace TAVO_test_windowParts;

class tst_playback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void plainBoxShowsMovingPicture();
    void stopThenStartPlaysAgain();
    void encryptedBoxPinsKeyAndPlaysOverHttps();
    void foreignKeyIsRefusedWithError();
    void droppedStreamComesBackByItself();
    void stopDuringBackOffEndsTheRetries();
    void stopAsTheBoxIsAskedAgainEndsCleanly();
    void stalledStreamComesBackByItself();
    void fullScreenFillsScreenAndComesBack();
    void doubleClickOrReturnOnARowPlaysIt();
    void doubleClickOnThePictureTogglesFullScreen();
    void raisedDelayIsReadOffTheTerminal();
    void playerReportsThePictureSize();
    void volumeFollowsWhatThePlayerTakes();
    void savedPicturesArePngsOfThePictureSize();
    void recordingHoldsPictureAndSoundToItsEnd_data();
    void recordingHoldsPictureAndSoundToItsEnd();
    void recordingEndedWhileTheStreamGoesOnIsClosed();
    void recordingCommandRefusesTheBoxTheWindowRecords();
    void unwritableRecordingEndsWhilePictureGoesOn_data();
    void unwritableRecordingEndsWhilePictureGoesOn();
    void volumeAndMuteSurviveARestart();
    void withoutSoundDevicePicturePlaysQuietly();
    void startAgainIsToldOverTheFullScreenPicture();
    void codecChosenForABoxGoesIntoItsNextRequest();

private:
    void select(const QString &rowText);
    // How often the box was asked for its stream so far.
    qsizetype streamRequests(const QString &uuid) const;
    bool showsMovingPicture(const QString &shotName);
    QImage screenshot(const QString &name);
    void placeWindow(const QRect &geometry);
    void startRecordingFromMenu(const QString &shotName);
    void doubleClickAt(const QPoint &where);
    int shownPictures() const;

    TAVO_test_boxSim *sim = nullptr;
    TAVO_ui_mainWindow *window = nullptr;
    QPushButton *start = nullptr;
    QPushButton *stop = nullptr;
};

void tst_playback::initTestCase()
{
    QVariantMap plain{{"uuid", plainUuid}, {"address", "127.0.0.2"}, {"friendlyName", "Plain"}};
    QVariantMap encrypted{
        {"uuid", encryptedUuid}, {"address", "127.0.0.3"}, {"friendlyName", "Encrypted"}, {"encryption", "AES128"}};
    QVariantMap foreignKey{{"uuid", foreignKeyUuid}, {"address", "127.0.0.4"}, {"friendlyName", "Foreign"},
                           {"encryption", "AES128"}, {"tlsKey", "other"}};
    // Restarts once under its viewer, down long enough for the first attempt to fail.
    QVariantMap restarting{{"uuid", restartingUuid}, {"address", "127.0.0.5"}, {"friendlyName", "Restarting"},
                           {"streamDropAfterMs", 4000}, {"streamDownMs", 4000}};
    QVariantMap gone{{"uuid", goneUuid}, {"address", "127.0.0.6"}, {"friendlyName", "Gone"},
                     {"streamDropAfterMs", 4000}, {"streamDownMs", 600000}};
    QVariantMap stalling{{"uuid", stallingUuid}, {"address", "127.0.0.7"}, {"friendlyName", "Stalling"},
                         {"streamDropAfterMs", 3000}, {"streamStall", true}};
    QVariantMap ending{{"uuid", endingUuid}, {"address", "127.0.0.8"}, {"friendlyName", "Ending"},
                       {"streamDropAfterMs", 9000}, {"streamDownMs", 600000}};
    QVariantMap dropping{{"uuid", droppingUuid}, {"address", "127.0.0.9"}, {"friendlyName", "Dropping"},
                         {"streamDropAfterMs", 1500}, {"streamDropRepeats", true}};
    // Comes late to libVLC again and again, by longer than the stream's cache, and ever later as
    // its clock runs slow, so that libVLC surely raises the stream's delay within seconds.
    QVariantMap bursty{{"uuid", burstyUuid}, {"address", "127.0.0.10"}, {"friendlyName", "Bursty"},
                       {"streamHiccups", true}, {"streamHiccupPauseMs", 800}, {"streamClockPpm", -20000}};
    // Drops out for up to a second again and again, and its clock runs slow: whatever libVLC
    // does, its stream misses pictures every few seconds or its delay creeps, however high the
    // start settled (a drop-out of a second while it settles left the hiccups alone nothing to
    // creep beyond).
    QVariantMap faltering{{"uuid", falteringUuid}, {"address", "127.0.0.11"}, {"friendlyName", "Faltering"},
                          {"streamHiccups", true}, {"streamHiccupPauseMs", 1000}, {"streamClockPpm", -20000}};
    sim = new TAVO_test_boxSim(TAVO_test_boxSim::boxes(
        {plain, encrypted, foreignKey, restarting, gone, stalling, ending, dropping, bursty, faltering}));
    QVERIFY(sim->start());

    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    start = button(window, QStringLiteral("Start"));
    stop = button(window, QStringLiteral("Stop"));
    auto *table = window->findChild<QTableWidget *>();
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 10, 15000);
}

void tst_playback::cleanup()
{
    stop->click();
    QCOMPARE(statusMessage(window), QStringLiteral("Stopped"));
    QCOMPARE(playingRows(window), QStringList());
}

void tst_playback::cleanupTestCase()
{
    delete sim;
}

void tst_playback::select(const QString &rowText)
{
    QVERIFY(clickServerRow(window, rowText));
}

qsizetype tst_playback::streamRequests(const QString &uuid) const
{
    return sim->requests(uuid).filter(QStringLiteral("8080 GET")).size();
}

QImage tst_playback::screenshot(const QString &name)
{
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    shot.save(QDir::current().filePath(QStringLiteral("playback-%1.png").arg(name)));
    return shot;
}

// A picture appears in the video area and then changes: the test pattern runs.
bool tst_playback::showsMovingPicture(const QString &shotName)
{
    QWidget *video = window->videoWidget;
    if (!QTest::qWaitFor([video] { return litShare(screenOf(video)) > 0.3; }, 15000))
        return false;
    const QImage first = screenOf(video);
    const bool moving = QTest::qWaitFor([&] { return changedShare(first, screenOf(video)) > 0.005; }, 15000);
    screenshot(shotName);
    return moving;
}

void tst_playback::plainBoxShowsMovingPicture()
{
    TAVO_test_messageBoxes boxes;
    QSignalSpy status(window->statusBar(), &QStatusBar::messageChanged);
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();

    QVERIFY2(showsMovingPicture(QStringLiteral("plain")), "no moving picture in the video area");
    QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Connecting to Plain…"));
    QCOMPARE(statusMessage(window), QStringLiteral("Playing Plain"));
    QCOMPARE(playingRows(window), QStringList{QStringLiteral("Plain (127.0.0.2)")});
    QVERIFY(!start->isEnabled());
    QVERIFY(sim->requests(plainUuid).contains(QStringLiteral("8080 GET ") + streamQuery + QStringLiteral(" HTTP/1.1")));
    QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/.gnutls")));
    QCOMPARE(boxes.seen.size(), 0);
}

void tst_playback::stopThenStartPlaysAgain()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("plain-first")), "no moving picture in the video area");

    stop->click();
    QVERIFY(start->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(litShare(screenOf(window->videoWidget)) < 0.05, 5000);

    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("plain-again")), "no moving picture in the video area");
}

void tst_playback::encryptedBoxPinsKeyAndPlaysOverHttps()
{
    QDir(QDir::homePath() + QStringLiteral("/.gnutls")).removeRecursively();
    select(QStringLiteral("Encrypted (127.0.0.3)"));
    start->click();

    const QByteArray line = "|g0|127.0.0.3|https|0|" + boxKey() + '\n';
    QCOMPARE(knownHosts(), line);
    QVERIFY2(showsMovingPicture(QStringLiteral("encrypted")), "no moving picture in the video area");
    QVERIFY(sim->requests(encryptedUuid).contains(QStringLiteral("8194 GET ") + streamQuery + QStringLiteral(" HTTP/1.1")));

    stop->click();
    start->click();
    QCOMPARE(knownHosts(), line);
    QVERIFY2(showsMovingPicture(QStringLiteral("encrypted-again")), "no moving picture in the video area");
}

void tst_playback::foreignKeyIsRefusedWithError()
{
    TAVO_test_messageBoxes boxes;
    boxes.beforeClose = [this](QMessageBox *) { screenshot(QStringLiteral("foreign-key-box")); };
    select(QStringLiteral("Foreign (127.0.0.4)"));
    start->click();

    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen.first().title, QStringLiteral("Message"));
    QCOMPARE(boxes.seen.first().text, QStringLiteral("Error"));
    // The reason, and where the user finds the pinned key.
    const QString why = boxes.seen.first().informativeText;
    QVERIFY2(why.contains(QStringLiteral("key is not the pinned one")), qPrintable(why));
    QVERIFY2(why.contains(QDir::homePath() + QStringLiteral("/.gnutls/known_hosts")), qPrintable(why));
    QVERIFY2(!why.contains(QStringLiteral("5820417369")), qPrintable(why));
    QCOMPARE(statusMessage(window), QStringLiteral("Could not play Foreign: the box's key is not the pinned one"));
    QCOMPARE(playingRows(window), QStringList());
    // The start has failed: nothing can draw there now, and what the last stream left goes.
    QVERIFY(QTest::qWaitFor([this] { return litShare(screenOf(window->videoWidget)) < 0.05; }, 5000));
    screenshot(QStringLiteral("foreign-key"));
}

// The box restarts under its viewer: the client says so, tries again after 1 s (the box is still
// down), then after 2 s, and the picture is back without a word from the user.
void tst_playback::droppedStreamComesBackByItself()
{
    TAVO_test_messageBoxes boxes;
    QSignalSpy status(window->statusBar(), &QStatusBar::messageChanged);
    select(QStringLiteral("Restarting (127.0.0.5)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("restarting-before")), "no moving picture in the video area");

    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window),
                              QStringLiteral("Lost the stream of Restarting; trying again in 1 s…"), 10000);
    screenshot(QStringLiteral("restarting-lost"));
    QCOMPARE(playingRows(window), QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window), QStringLiteral("Playing Restarting"), 15000);
    QVERIFY2(showsMovingPicture(QStringLiteral("restarting-back")), "the picture did not come back");

    QStringList said;
    for (const QList<QVariant> &message : status)
        said << message.at(0).toString();
    const QStringList firstWords{QStringLiteral("Connecting to Restarting…"), QStringLiteral("Playing Restarting"),
                                 QStringLiteral("Lost the stream of Restarting; trying again in 1 s…"),
                                 QStringLiteral("Connecting to Restarting again…"),
                                 QStringLiteral("Lost the stream of Restarting; trying again in 2 s…"),
                                 QStringLiteral("Connecting to Restarting again…")};
    QCOMPARE(said.mid(0, firstWords.size()), firstWords);
    // How long libVLC takes to notice the end decides whether a third attempt is needed.
    const QStringList rest = said.mid(firstWords.size());
    QVERIFY2(rest == QStringList{QStringLiteral("Playing Restarting")}
                 || rest == (QStringList{QStringLiteral("Lost the stream of Restarting; trying again in 4 s…"),
                                         QStringLiteral("Connecting to Restarting again…"),
                                         QStringLiteral("Playing Restarting")}),
             qPrintable(said.join(QStringLiteral(" | "))));
    QCOMPARE(playingRows(window), QStringList{QStringLiteral("Restarting (127.0.0.5)")});
    QVERIFY(!start->isEnabled());
    QCOMPARE(boxes.seen.size(), 0);
}

void tst_playback::stopDuringBackOffEndsTheRetries()
{
    select(QStringLiteral("Gone (127.0.0.6)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("gone-before")), "no moving picture in the video area");
    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window), QStringLiteral("Lost the stream of Gone; trying again in 1 s…"),
                              10000);
    stop->click();
    QCOMPARE(statusMessage(window), QStringLiteral("Stopped"));
    const qsizetype requestsAtStop = streamRequests(goneUuid);
    QSignalSpy status(window->statusBar(), &QStatusBar::messageChanged);
    // The pause that Stop ended would have run out by now, and the box been asked again.
    TAVO_test_eventLoop::runPastTimersOf(TAVO_mgr_backOff::firstMs);
    QCOMPARE(status.size(), 0);
    QCOMPARE(statusMessage(window), QStringLiteral("Stopped"));
    QCOMPARE(streamRequests(goneUuid), requestsAtStop);
}

// A box that ends its stream every 1.5 s is asked for it again each time; a Stop that comes
// just then ends the stream without taking the client down.
void tst_playback::stopAsTheBoxIsAskedAgainEndsCleanly()
{
    select(QStringLiteral("Dropping (127.0.0.9)"));
    for (int round = 0; round < 6; ++round) {
        const qsizetype before = streamRequests(droppingUuid);
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(streamRequests(droppingUuid) > before + 1, 15000);
        stop->click();
        QCOMPARE(statusMessage(window), QStringLiteral("Stopped"));
    }
}

// The box goes silent without closing the connection (its power or cable is gone): after a few
// seconds without data the stream counts as lost, and it comes back.
void tst_playback::stalledStreamComesBackByItself()
{
    select(QStringLiteral("Stalling (127.0.0.7)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("stalling-before")), "no moving picture in the video area");
    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window),
                              QStringLiteral("Lost the stream of Stalling; trying again in 1 s…"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window), QStringLiteral("Playing Stalling"), 10000);
    QVERIFY2(showsMovingPicture(QStringLiteral("stalling-back")), "the picture did not come back");
    QCOMPARE(streamRequests(stallingUuid), 2);
}

// No window manager runs on the test display: the test does its part and gives the window the
// size it asked for (the whole screen, then its normal size again).
void tst_playback::fullScreenFillsScreenAndComesBack()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("before-full-screen")), "no moving picture in the video area");
    const QRect normal = window->geometry();

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F);
    QVERIFY(window->windowState() & Qt::WindowFullScreen);
    QVERIFY(fullScreenOverlay()->isVisible());
    const QRect desktop = QGuiApplication::primaryScreen()->geometry();
    placeWindow(desktop);
    QTRY_COMPARE_WITH_TIMEOUT(QRect(window->videoWidget->mapToGlobal(QPoint(0, 0)), window->videoWidget->size()),
                              desktop, 5000);
    QVERIFY2(showsMovingPicture(QStringLiteral("full-screen")), "no moving picture over the whole screen");

    QTest::keyClick(fullScreenOverlay(), Qt::Key_F);
    QVERIFY(!(window->windowState() & Qt::WindowFullScreen));
    QVERIFY(fullScreenOverlay()->isHidden());
    QSplitter *videoSplitter = splitter(window, Qt::Vertical);
    QCOMPARE(videoSplitter->contentsMargins(), QMargins(0, 10, 10, 0));
    QVERIFY(!videoSplitter->widget(1)->isHidden());
    QVERIFY(!splitter(window, Qt::Horizontal)->widget(0)->isHidden());
    placeWindow(normal);
    QTRY_COMPARE_WITH_TIMEOUT(window->geometry(), normal, 5000);
    QVERIFY2(showsMovingPicture(QStringLiteral("after-full-screen")), "no moving picture in the video area");
}

// As in players: a double click on a box's row plays it at once, and so does Return on the
// table's current row; the box that played stops.
void tst_playback::doubleClickOrReturnOnARowPlaysIt()
{
    const QString plainRow = QStringLiteral("Plain (127.0.0.2)");
    const QString encryptedRow = QStringLiteral("Encrypted (127.0.0.3)");
    select(plainRow);
    start->click();
    QTRY_COMPARE_WITH_TIMEOUT(playingRows(window), QStringList{plainRow}, 15000);

    auto *table = window->findChild<QTableWidget *>();
    const QRect encrypted = table->visualItemRect(serverRow(window, encryptedRow));
    doubleClickAt(table->viewport()->mapToGlobal(QPoint(20, encrypted.center().y())));
    QTRY_COMPARE_WITH_TIMEOUT(playingRows(window), QStringList{encryptedRow}, 15000);

    table->setFocus();
    table->setCurrentItem(serverRow(window, plainRow));
    QVERIFY(QTest::qWaitFor([table] { return table->hasFocus(); }, 5000));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(playingRows(window), QStringList{plainRow}, 15000);
}

// The click goes through libVLC's own window over the picture to the client.
void tst_playback::doubleClickOnThePictureTogglesFullScreen()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("before-double-click")), "no moving picture in the video area");
    const QPoint picture = window->videoWidget->mapToGlobal(window->videoWidget->rect().center());
    doubleClickAt(picture);
    QTRY_VERIFY_WITH_TIMEOUT(window->windowState() & Qt::WindowFullScreen, 5000);
    QVERIFY(fullScreenOverlay()->isVisible());
    // Qt never pairs a press with the one that completed a double click: the next two clicks
    // make the next double click, however soon they come.
    doubleClickAt(picture);
    QTRY_VERIFY_WITH_TIMEOUT(!(window->windowState() & Qt::WindowFullScreen), 5000);
    QVERIFY(fullScreenOverlay()->isHidden());
}

void tst_playback::doubleClickAt(const QPoint &where)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QString::number(where.x()), QString::number(where.y()),
                                QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}),
             0);
}

// libVLC raises a live stream's delay whenever the stream comes late to it, as the bursty box's
// does, and buffers again; the delay guard reads that from libVLC's error lines, which are
// libVLC's ordinary work and stay off the terminal, as do the ends of its bufferings and FFmpeg's
// complaints about a stream joined midway or stopped.
void tst_playback::raisedDelayIsReadOffTheTerminal()
{
    StandardErrorCapture terminal;
    select(QStringLiteral("Bursty (127.0.0.10)"));
    start->click();
    QVERIFY(window->player->isPlaying());
    // The reader's pace takes up the box's stalls once it has seen them: libVLC raises its delay
    // at a stall that comes before, whenever the box's bursts make one (some 20 to 30 s in).
    QTRY_VERIFY_WITH_TIMEOUT(window->player->raisedDelayMs() > 0, 60000);
    stop->click();
    QVERIFY(window->player->isIdle());
    const QStringList raises = terminal.lines().filter(
        QRegularExpression(QStringLiteral("pts_delay increased|buffer deadlock prevented|^\\[\\w+ @ 0x")));
    QVERIFY2(raises.isEmpty(), qPrintable(raises.join(QLatin1Char('\n'))));
}

// The size libVLC gives once it knows the picture's format, and the teletext page read back.
void tst_playback::playerReportsThePictureSize()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY(window->player->isPlaying());
    QTRY_COMPARE_WITH_TIMEOUT(window->player->getWidth(), 1280, 15000);
    QCOMPARE(window->player->getHeight(), 720);
    QTest::ignoreMessage(QtDebugMsg, "100");
    window->player->setTeletextPage(100);
}

// libVLC takes volumes from 0 % to 150 %: the remembered volume follows what the player really
// has.
void tst_playback::volumeFollowsWhatThePlayerTakes()
{
    TAVO_player_vlcPlayer *player = window->player;
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(player->outputVolume() >= 0, 15000);
    for (int step = 0; step < 5; ++step)
        player->setVolumeUp();
    QCOMPARE(player->volume(), 150);
    for (int step = 0; step < 20; ++step)
        player->setVolumeDown();
    QCOMPARE(player->volume(), 0);
    player->setVolumeUp();
    QCOMPARE(player->volume(), 10);
}

// Two pictures in the same second: the second gets a name of its own.
void tst_playback::savedPicturesArePngsOfThePictureSize()
{
    const QString pictures = QDir::homePath() + QStringLiteral("/Pictures");
    const QStringList before = filesIn(pictures);
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("picture")), "no moving picture in the video area");

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    const QStringList saved = newFiles(pictures, before);
    QCOMPARE(saved.size(), 2);
    const QString said = statusMessage(window);
    QVERIFY2(said.startsWith(QStringLiteral("Picture saved to ")) && saved.contains(said.mid(17)), qPrintable(said));
    for (const QString &path : saved) {
        QVERIFY2(QFileInfo(path).fileName().startsWith(QStringLiteral("Plain 20")), qPrintable(path));
        QImageReader picture(path);
        QCOMPARE(picture.format(), QByteArray("png"));
        QCOMPARE(picture.size(), QSize(1280, 720));
    }
}

void tst_playback::startRecordingFromMenu(const QString &shotName)
{
    QMenu *menu = openContextMenu(window->videoWidget, QPoint(60, 60));
    QVERIFY2(menu, "no context menu on the picture");
    QAction *record = menuAction(menu, QStringLiteral("Record"));
    QVERIFY(record && !record->isChecked());
    QVERIFY(QTest::qWaitForWindowExposed(menu) && waitUntilShown(menu));
    screenshot(shotName + QStringLiteral("-menu"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(record).center());
    QVERIFY(record->isChecked());
}

void tst_playback::recordingHoldsPictureAndSoundToItsEnd_data()
{
    QTest::addColumn<QString>("rowText");
    QTest::addColumn<QString>("howItEnds");
    QTest::newRow("record again") << QStringLiteral("Plain (127.0.0.2)") << QStringLiteral("record");
    QTest::newRow("stop") << QStringLiteral("Plain (127.0.0.2)") << QStringLiteral("stop");
    QTest::newRow("lost stream") << QStringLiteral("Ending (127.0.0.8)") << QStringLiteral("lost");
}

// The recording is read to its end by ffmpeg, and holds both streams for as long as the player
// that wrote it played: measured by the stream's own clock (the pictures it carried in its play
// time), which a busy machine does not stretch as it does the wall clock.
void tst_playback::recordingHoldsPictureAndSoundToItsEnd()
{
    QFETCH(QString, rowText);
    QFETCH(QString, howItEnds);
    const QStringList before = filesIn(videosFolder());
    select(rowText);
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("record-") + howItEnds), "no moving picture in the video area");

    startRecordingFromMenu(QStringLiteral("record-") + howItEnds);
    // The player plays on while the mark shows: what it carried of the stream meanwhile, and the
    // delay it held the stream back by (its cache, or longer once libVLC raised it).
    int carriedBefore = -1;
    int carried = 0;
    int heldBackMs = TAVO_player_vlcPlayer::liveNetworkCachingMs;
    const auto noteCarried = [&] {
        const std::optional<TAVO_player_vlcPlayer::PictureCounts> counts = window->player->pictureCounts();
        if (!counts || recordingMark(window).isEmpty())
            return;
        if (carriedBefore < 0)
            carriedBefore = counts->carried;
        carried = std::max(carried, counts->carried - carriedBefore);
        heldBackMs = std::max(heldBackMs, window->player->raisedDelayMs());
    };
    QSignalSpy status(window->statusBar(), &QStatusBar::messageChanged);
    QTimer whileRecording;
    connect(&whileRecording, &QTimer::timeout, this, noteCarried);
    whileRecording.start(20);
    QVERIFY2(showsMovingPicture(QStringLiteral("recording-") + howItEnds), "no moving picture while recording");
    QTRY_VERIFY_WITH_TIMEOUT(recordingMark(window).contains(QStringLiteral("kB")), 5000);
    screenshot(QStringLiteral("recording-") + howItEnds);
    if (howItEnds == QStringLiteral("lost")) {
        QTRY_VERIFY_WITH_TIMEOUT(recordingMark(window).isEmpty(), 20000);
    } else {
        QVERIFY(QTest::qWaitFor([&] { return carried >= 4 * streamPicturesPerSecond; }, 30000));
        noteCarried();
        if (howItEnds == QStringLiteral("stop"))
            stop->click();
        else
            QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(recordingMark(window).isEmpty());
    }
    whileRecording.stop();
    const double playedSeconds = double(carried) / streamPicturesPerSecond;

    const QStringList recorded = newFiles(videosFolder(), before);
    QCOMPARE(recorded.size(), 1);
    const QString file = recorded.first();
    QVERIFY2(QFileInfo(file).fileName().startsWith(rowText.section(QLatin1Char(' '), 0, 0) + QStringLiteral(" 20")),
             qPrintable(file));
    if (howItEnds == QStringLiteral("record"))
        QVERIFY2(statusMessage(window).startsWith(QStringLiteral("Recording ended: ")), qPrintable(statusMessage(window)));
    const QString streams = run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                            QStringLiteral("-show_entries"),
                                                            QStringLiteral("stream=codec_type:format=duration"),
                                                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    QVERIFY2(streams.contains(QStringLiteral("video")) && streams.contains(QStringLiteral("audio")), qPrintable(streams));
    const double seconds = streams.section(QLatin1Char('\n'), -1).toDouble();
    // The file holds what the player played meanwhile, from the picture that decodes alone
    // before it (a group of pictures: half a second at most), and at most what the player had
    // read besides. A lost stream's player may have played on a little after the last look at
    // it; it ended the recording.
    const QString lengths = QStringLiteral("%1 s in a recording whose player played %2 s, holding back %3 ms")
                                .arg(seconds)
                                .arg(playedSeconds)
                                .arg(heldBackMs);
    QVERIFY2(seconds > playedSeconds - 0.5, qPrintable(lengths));
    if (howItEnds == QStringLiteral("lost")) {
        QVERIFY(std::any_of(status.cbegin(), status.cend(), [](const QList<QVariant> &said) {
            return said.at(0).toString().startsWith(QStringLiteral("Recording ended (the stream ended): "));
        }));
    } else {
        QVERIFY2(seconds < playedSeconds + heldBackMs / 1000.0 + 0.5 + 0.5, qPrintable(lengths));
    }
    // The picture decodes without a fault to its end. The sound does too, from its first frame,
    // but for its very last: when the player stops, libVLC's TS muxer drops the part of that
    // frame it had not yet written.
    for (const QString &stream : {QStringLiteral("0:v"), QStringLiteral("0:a")}) {
        int exitCode = -1;
        const QString errors = run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                              QStringLiteral("-i"), file, QStringLiteral("-map"), stream,
                                                              QStringLiteral("-f"), QStringLiteral("null"),
                                                              QStringLiteral("-")},
                                   &exitCode);
        QCOMPARE(exitCode, 0);
        if (stream == QStringLiteral("0:v"))
            QCOMPARE(errors, QString());
    }
    const QStringList undecoded = undecodedSoundPackets(file);
    QVERIFY2(undecoded.isEmpty() || undecoded == QStringList{QStringLiteral("last")}, qPrintable(undecoded.join(' ')));
}

// One box, one tuner: the command ends with its status for a box taken, and says by whom.
void tst_playback::recordingCommandRefusesTheBoxTheWindowRecords()
{
    QTemporaryDir runtime;
    const QByteArray userRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("record-locked")), "no moving picture in the video area");
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!recordingMark(window).isEmpty(), 5000);

    QProcess command;
    command.start(QStringLiteral(TAVO_BIN_DIR "/tavo-record"), {QStringLiteral("--box"), QStringLiteral("127.0.0.2"),
                                                               QStringLiteral("--output"), runtime.filePath(QStringLiteral("film.ts"))});
    // A lock not taken shows at once: the command makes its file.
    const QString film = runtime.filePath(QStringLiteral("film.ts"));
    QVERIFY(QTest::qWaitFor([&] { return command.state() == QProcess::NotRunning || QFile::exists(film); }, 120000));
    QVERIFY2(!QFile::exists(film), "the command recorded a box the window records");
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    qputenv("XDG_RUNTIME_DIR", userRuntime);

    const QString errors = QString::fromUtf8(command.readAllStandardError());
    QVERIFY2(command.exitCode() == 4, qPrintable(errors));
    const QString holder = QStringLiteral("being recorded by %1 (pid %2)")
                               .arg(QCoreApplication::applicationName()).arg(QCoreApplication::applicationPid());
    QVERIFY2(errors.contains(holder), qPrintable(errors));
}

// The player goes on reading the stream after the user ends a recording, but the file no
// longer grows: it was closed. The recording shared the player's one connection to the box, and
// the picture never stopped.
void tst_playback::recordingEndedWhileTheStreamGoesOnIsClosed()
{
    const QStringList before = filesIn(videosFolder());
    const qsizetype requestsBefore = streamRequests(plainUuid);
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("record-closed")), "no moving picture in the video area");
    TAVO_player_vlcPlayer *player = window->player;
    const std::optional<TAVO_player_vlcPlayer::PictureCounts> playedBefore = player->pictureCounts();
    QVERIFY(playedBefore);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(recordingMark(window).contains(QStringLiteral("kB")), 5000);
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(recordingMark(window).isEmpty());

    const QStringList recorded = newFiles(videosFolder(), before);
    QCOMPARE(recorded.size(), 1);
    QVERIFY(player->isPlaying());
    const qint64 size = QFileInfo(recorded.first()).size();
    const qint64 read = player->bytesRead();
    QTRY_VERIFY_WITH_TIMEOUT(player->bytesRead() > read + 500000, 15000);
    QCOMPARE(QFileInfo(recorded.first()).size(), size);
    // The same player went on: its count of pictures carried never started again.
    const std::optional<TAVO_player_vlcPlayer::PictureCounts> playedAfter = player->pictureCounts();
    QVERIFY(playedAfter && playedAfter->carried > playedBefore->carried);
    QCOMPARE(streamRequests(plainUuid), requestsBefore + 1);
    screenshot(QStringLiteral("record-closed-ended"));
}

void tst_playback::unwritableRecordingEndsWhilePictureGoesOn_data()
{
    QTest::addColumn<QString>("mountOptions");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason");
    QTest::newRow("full disk") << QStringLiteral("size=600k")
                               << QStringLiteral("Recording stopped: No space left on device.")
                               << QStringLiteral("No space left on device");
    QTest::newRow("read-only folder") << QStringLiteral("ro") << QStringLiteral("Cannot record.")
                                      << QStringLiteral("Read-only file system");
}

// The videos folder is a tiny file system that fills within seconds, or one that cannot be
// written at all.
void tst_playback::unwritableRecordingEndsWhilePictureGoesOn()
{
    QFETCH(QString, mountOptions);
    QFETCH(QString, message);
    QFETCH(QString, reason);
    if (!ownMounts)
        QSKIP("no mount namespace of the test's own: cannot put a small file system over the videos folder");
    QVERIFY(QDir().mkpath(videosFolder()));
    const QByteArray folder = QFile::encodeName(videosFolder());
    const unsigned long flags = mountOptions == QStringLiteral("ro") ? MS_RDONLY : 0;
    QCOMPARE(mount("tavo-test", folder.constData(), "tmpfs", flags, mountOptions.toLatin1().constData()), 0);
    const auto unmount = qScopeGuard([&folder] { umount2(folder.constData(), MNT_DETACH); });

    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("unwritable")), "no moving picture in the video area");
    QSignalSpy status(window->statusBar(), &QStatusBar::messageChanged);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);

    QTRY_VERIFY_WITH_TIMEOUT(shownMessage(window), 20000);
    QMessageBox *box = shownMessage(window);
    QVERIFY(QTest::qWaitForWindowExposed(box) && waitUntilShown(box));
    screenshot(QStringLiteral("unwritable-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
    QCOMPARE(box->text(), message);
    const QString said = box->text() + QLatin1Char('\n') + box->informativeText();
    QVERIFY2(said.contains(reason) && said.contains(videosFolder()), qPrintable(said));
    box->close();
    QVERIFY(std::any_of(status.cbegin(), status.cend(),
                        [&reason](const QList<QVariant> &said) { return said.at(0).toString().contains(reason); }));
    QVERIFY(recordingMark(window).isEmpty());
    QVERIFY2(showsMovingPicture(QStringLiteral("unwritable-after")), "the picture did not go on");
}

// Keys (in the window and in full screen) and the wheel over the picture set the client's own
// level; the next start of the client gives it, and the mute, to its player.
void tst_playback::volumeAndMuteSurviveARestart()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("sound")), "no moving picture in the video area");
    auto *volume = window->findChild<TAVO_ui_volumeControl *>();
    QVERIFY(volume);
    QCOMPARE(volume->level(), 100);
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());

    QTest::keyClick(window, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(statusMessage(window), QStringLiteral("Volume 105%"));
    for (int step = 0; step < 6; ++step)
        QTest::keyClick(window, Qt::Key_Down, Qt::ControlModifier);
    const QPoint picture = window->videoWidget->mapToGlobal(window->videoWidget->rect().center());
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(picture.x()),
                                                          QString::number(picture.y()), QStringLiteral("click"),
                                                          QStringLiteral("5")}),
             0);
    QTRY_COMPARE(volume->level(), 70);
    QCOMPARE(statusMessage(window), QStringLiteral("Volume 70%"));
    QCOMPARE(window->player->outputVolume(), 70);
    QTest::keyClick(window, Qt::Key_M);
    QCOMPARE(statusMessage(window), QStringLiteral("Sound off (volume 70%)"));
    QVERIFY(waitUntilShown(volume));
    screenshot(QStringLiteral("sound-off"));
    QTRY_COMPARE_WITH_TIMEOUT(statusMessage(window), QStringLiteral("Playing Plain"), 5000);
    QTest::keyClick(window, Qt::Key_F);
    QTest::keyClick(fullScreenOverlay(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(volume->level(), 65);
    QVERIFY(!window->player->isMuted());
    QTest::keyClick(fullScreenOverlay(), Qt::Key_M);
    QTest::keyClick(fullScreenOverlay(), Qt::Key_F);
    QVERIFY(!(window->windowState() & Qt::WindowFullScreen));

    TAVO_ui_mainWindow next;
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    auto *nextVolume = next.findChild<TAVO_ui_volumeControl *>();
    QCOMPARE(nextVolume->level(), 65);
    QVERIFY(nextVolume->isMuted());
    QVERIFY(waitForRow(&next, QStringLiteral("Plain (127.0.0.2)")));
    QVERIFY(clickServerRow(&next, QStringLiteral("Plain (127.0.0.2)")));
    button(&next, QStringLiteral("Start"))->click();
    QVERIFY(next.player->isPlaying());
    QCOMPARE(next.player->outputVolume(), 65);
    QVERIFY(next.player->isMuted());
    next.activateWindow();
    QTRY_VERIFY(next.isActiveWindow());
    QTest::keyClick(&next, Qt::Key_M);
    QVERIFY(!next.player->isMuted());
}

// The machine's own ALSA configuration: no sound card. The picture plays, the terminal gets a
// line or two about sound instead of hundreds a second, and the status line says why there is
// no sound. libVLC's other complaints (no session bus, no VDPAU, a clock late under load) come
// and go with the machine and are not counted.
void tst_playback::withoutSoundDevicePicturePlaysQuietly()
{
    const QByteArray nullDevice = qgetenv("ALSA_CONFIG_PATH");
    qunsetenv("ALSA_CONFIG_PATH");
    QStringList written;
    bool moving = false;
    bool playedOn = false;
    {
        StandardErrorCapture terminal;
        select(QStringLiteral("Plain (127.0.0.2)"));
        start->click();
        moving = showsMovingPicture(QStringLiteral("no-sound"));
        // Three seconds of the stream, by its own pictures: long enough for hundreds of lines.
        const int shownBefore = shownPictures();
        playedOn = QTest::qWaitFor([&] { return shownPictures() >= shownBefore + 3 * streamPicturesPerSecond; }, 30000);
        written = terminal.lines().filter(QRegularExpression(QStringLiteral("alsa|audio|sound"),
                                                                 QRegularExpression::CaseInsensitiveOption));
    }
    qputenv("ALSA_CONFIG_PATH", nullDevice);
    QVERIFY2(moving, "no moving picture in the video area");
    QVERIFY2(playedOn, "the picture stopped");
    QVERIFY2(written.size() <= 2, qPrintable(QStringLiteral("%1 lines about sound, beginning:\n").arg(written.size())
                                             + written.mid(0, 6).join(QLatin1Char('\n'))));
    const QList<QLabel *> labels = window->statusBar()->findChildren<QLabel *>();
    QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [](const QLabel *label) {
        return label->isVisible() && label->text() == QStringLiteral("No sound device")
               && label->toolTip() == QStringLiteral("No sound device: playing the picture alone");
    }));
}

// The pictures the current player has shown so far; 0 without one.
int tst_playback::shownPictures() const
{
    const std::optional<TAVO_player_vlcPlayer::PictureCounts> counts = window->player->pictureCounts();
    return counts ? counts->shown : 0;
}

// The box's stream drops out again and again: within seconds of windows this short its pictures
// miss the screen, or its delay creeps, and the player starts again, on the connection the box
// already gave. The user is told why, on the status line and, in full screen, over the picture,
// which still takes the keys.
void tst_playback::startAgainIsToldOverTheFullScreenPicture()
{
    auto *owner = window->findChild<TAVO_player_restartOwner *>();
    QLabel *notice = qobject_cast<QLabel *>(window->findChild<TAVO_ui_fullScreenNotice *>()->noticeWindow());
    QVERIFY(owner && notice);
    // The owner's clock runs two hours ahead from here on: the starts again of earlier tests (a
    // recording's hold-off, the hour's cap) lie behind it.
    TAVO_player_restartOwner::Timing usual;
    usual.nowMs = [] { return QDeadlineTimer::current().deadline() + 2 * TAVO_mgr_tuningRules::hourMs; };
    TAVO_player_restartOwner::Timing quick = usual;
    quick.settleMs = 3000;
    quick.windowMs = 3000;
    owner->setTiming(quick);
    const auto tuneAsUsual = qScopeGuard([&] {
        owner->setTiming(usual);
        owner->forget(falteringUuid, QStringLiteral("Faltering"));
    });
    QSignalSpy restarts(owner, &TAVO_player_restartOwner::restarting);
    select(QStringLiteral("Faltering (127.0.0.11)"));
    const qsizetype requestsBefore = streamRequests(falteringUuid);
    start->click();
    const QRect normal = window->geometry();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F);
    placeWindow(QGuiApplication::primaryScreen()->geometry());
    QWidget *overlay = fullScreenOverlay();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), overlay, 5000);

    QVERIFY2(restarts.wait(120000), "the stream was not started again");
    QCOMPARE(restarts.first().at(0).toString(), falteringUuid);
    const QRegularExpression why(QStringLiteral("^Faltering: starting the stream again (with a longer buffer \\(400 ms\\)|"
                                                "to bring its delay back down \\(it had grown to \\d+ ms\\))$"));
    // Said again once the stream plays again, after the stream keeper's "Playing Faltering".
    QTRY_VERIFY_WITH_TIMEOUT(statusMessage(window).contains(why) && window->player->isPlaying(), 20000);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), statusMessage(window));
    QVERIFY(waitUntilShown(notice));
    QVERIFY2(showsMovingPicture(QStringLiteral("start-again-playing")), "no moving picture after the start again");
    // The player started again; the box was not asked again.
    QCOMPARE(streamRequests(falteringUuid), requestsBefore + 1);

    QCOMPARE(QApplication::activeWindow(), overlay);
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("f")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!(window->windowState() & Qt::WindowFullScreen), 5000);
    QVERIFY(notice->isHidden());
    placeWindow(normal);
    QTRY_COMPARE_WITH_TIMEOUT(window->geometry(), normal, 5000);
}

// Stream settings are chosen from the box's row and kept for it: its next request carries them.
void tst_playback::codecChosenForABoxGoesIntoItsNextRequest()
{
    auto *table = window->findChild<QTableWidget *>();
    const QRect row = table->visualItemRect(serverRow(window, QStringLiteral("Dropping (127.0.0.9)")));
    // The row's one column is as wide as the desktop: its start is in sight.
    QMenu *menu = openContextMenu(table->viewport(), QPoint(20, row.center().y()));
    QVERIFY(menu);
    QAction *entry = menuAction(menu, QStringLiteral("Stream settings of Dropping…"));
    QVERIFY(entry && entry->isEnabled());
    entry->trigger();
    menu->close();
    QPointer<QDialog> dialog = window->findChild<QDialog *>(QStringLiteral("streamSettingsDialog"));
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto *codec = dialog->findChild<QComboBox *>(QStringLiteral("videoCodec"));
    QVERIFY(codec && codec->isEnabled());
    QCOMPARE(codec->currentText(), QStringLiteral("MPEG-2"));
    QVERIFY(waitUntilShown(dialog));
    screenshot(QStringLiteral("stream-settings"));
    codec->setCurrentIndex(codec->findText(QStringLiteral("H.264")));
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QTRY_VERIFY(!dialog);

    const qsizetype requestsBefore = streamRequests(droppingUuid);
    select(QStringLiteral("Dropping (127.0.0.9)"));
    start->click();
    QTRY_VERIFY_WITH_TIMEOUT(streamRequests(droppingUuid) > requestsBefore, 15000);
    QCOMPARE(sim->requests(droppingUuid).filter(QStringLiteral("8080 GET")).at(requestsBefore),
             QStringLiteral("8080 GET /?src=1&vcodec=h264&acodec=aac&res=720p&fps=30&bitrate=3&protocol=hpd HTTP/1.1"));
}

void tst_playback::placeWindow(const QRect &geometry)
{
    const QString id = QString::number(window->winId());
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("windowmove"), id, QString::number(geometry.x()),
                                QString::number(geometry.y()), QStringLiteral("windowsize"), id,
                                QString::number(geometry.width()), QString::number(geometry.height())}),
             0);
}

// HOME is a fresh folder of the test's own, so the known-hosts file and the settings start
// missing; the machine has no sound card, so ALSA plays into nothing.
int main(int argc, char *argv[])
{
    // Before any thread starts: a process with threads cannot have a mount namespace of its own.
    ownMounts = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("ALSA_CONFIG_PATH", TAVO_SOURCE_DIR "/tests/support/null.asoundrc");
    QApplication app(argc, argv);
    tst_playback test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playback.moc"
