// Playback end to end: the client's main window against simulated boxes, on a real X display.

#include "TAVO_test_boxSim.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString plainUuid = QStringLiteral("5a1f0c3e-0001-4000-8000-0000000000a1");
const QString encryptedUuid = QStringLiteral("5a1f0c3e-0002-4000-8000-0000000000a2");
const QString foreignKeyUuid = QStringLiteral("5a1f0c3e-0003-4000-8000-0000000000a3");
const QString restartingUuid = QStringLiteral("5a1f0c3e-0004-4000-8000-0000000000a4");
const QString goneUuid = QStringLiteral("5a1f0c3e-0005-4000-8000-0000000000a5");
const QString stallingUuid = QStringLiteral("5a1f0c3e-0006-4000-8000-0000000000a6");
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
    void stalledStreamComesBackByItself();
    void fullScreenFillsScreenAndComesBack();
    void doubleClickOrReturnOnARowPlaysIt();
    void doubleClickOnThePictureTogglesFullScreen();
    void playerReportsSizeAndFollowsVolume();

private:
    void select(const QString &rowText);
    bool showsMovingPicture(const QString &shotName);
    QImage screenshot(const QString &name);
    void placeWindow(const QRect &geometry);
    void doubleClickAt(const QPoint &where);

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
    sim = new TAVO_test_boxSim(TAVO_test_boxSim::boxes({plain, encrypted, foreignKey, restarting, gone, stalling}));
    QVERIFY(sim->start());

    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    start = button(window, QStringLiteral("Start"));
    stop = button(window, QStringLiteral("Stop"));
    auto *table = window->findChild<QTableWidget *>();
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 6, 15000);
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
    QTest::qWait(1500);
    screenshot(QStringLiteral("foreign-key"));
    QVERIFY(litShare(screenOf(window->videoWidget)) < 0.05);
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
    const int streamRequests = sim->requests(goneUuid).filter(QStringLiteral("8080 GET")).size();
    QTest::qWait(3500);
    QCOMPARE(sim->requests(goneUuid).filter(QStringLiteral("8080 GET")).size(), streamRequests);
    QCOMPARE(statusMessage(window), QStringLiteral("Stopped"));
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
    QCOMPARE(sim->requests(stallingUuid).filter(QStringLiteral("8080 GET")).size(), 2);
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
    QTest::qWait(500);
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

// libVLC refuses volumes below 0 %: the remembered volume follows what the player really has.
void tst_playback::playerReportsSizeAndFollowsVolume()
{
    select(QStringLiteral("Plain (127.0.0.2)"));
    start->click();
    QVERIFY2(showsMovingPicture(QStringLiteral("volume")), "no moving picture in the video area");
    TAVO_player_vlcPlayer *player = window->player;
    QCOMPARE(player->getWidth(), 1280);
    QCOMPARE(player->getHeight(), 720);

    for (int step = 0; step < 5; ++step)
        player->setVolumeUp();
    QCOMPARE(player->volume(), 150);
    for (int step = 0; step < 20; ++step)
        player->setVolumeDown();
    QCOMPARE(player->volume(), 0);
    player->setVolumeUp();
    QCOMPARE(player->volume(), 10);

    QTest::ignoreMessage(QtDebugMsg, "100");
    player->setTeletextPage(100);
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

// HOME is a fresh folder of the test's own, so the known-hosts file starts missing; the machine
// has no sound card, so ALSA plays into nothing.
int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("ALSA_CONFIG_PATH", TAVO_SOURCE_DIR "/tests/support/null.asoundrc");
    QApplication app(argc, argv);
    tst_playback test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_playback.moc"
