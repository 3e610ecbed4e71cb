#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_rememberedBoxes.h"
#include "TAVO_player_soundDevice.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_test_messageBoxes.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_statusMessage.h"
#include "TAVO_ui_windowMemory.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

#include <unistd.h>

using TAVO_test_windowParts::button;
using TAVO_test_windowParts::splitter;
using TAVO_test_windowParts::statusMessage;

namespace {

// Stands in for the desktop's file manager.
class FolderOpener : public QObject
{
    Q_OBJECT

public:
    FolderOpener() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~FolderOpener() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// Lists a box at `host` in `window`, as a description that was read would.
void listBoxAt(TAVO_ui_mainWindow *window, const QString &host)
{
    TAVO_SERVER server;
    server.host = host;
    server.device.UDN = QStringLiteral("listed-at-") + host;
    window->mManager->addServer(server);
    window->addServer(QStringLiteral("Box (%1)").arg(host));
}

} // namespace

class tst_mainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startsWithEmptyTableAndNoCurrentRow();
    void buildsButtonsAndBlackVideoArea();
    void splittersKeepTheirStretchAndMargins();
    void streamSelectorsAreNotPlaced();
    void destroyedWindowLeavesNoWidgetsBehind();
    void rowsAreAppendedAndRemoved();
    void rowToolTipShowsTheBoxsTextsAsTheyAre();
    void keysWithoutSelection_data();
    void keysWithoutSelection();
    void clickEnablesControllerEvenWithoutDownload();
    void webUiWithoutItsModuleSaysWhy();
    void keyboardHelpFitsTheScreenAndClosesOnEscape_data();
    void keyboardHelpFitsTheScreenAndClosesOnEscape();
    void keptFileMessageKeepsTheFileName_data();
    void keptFileMessageKeepsTheFileName();
    void unansweredRememberedBoxesAreNamedUntilListed();
    void rememberedVolumeStaysWithinTheRange_data();
    void rememberedVolumeStaysWithinTheRange();
    void windowClosedInFullScreenOpensNormal();
    void soundDeviceIsLookedForAgainAtStart();

private:
    void clickServerRow();

    TAVO_ui_mainWindow *window = nullptr;
    QTableWidget *table() const { return window->findChild<QTableWidget *>(); }
};

void tst_mainWindow::init()
{
    window = new TAVO_ui_mainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void tst_mainWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void tst_mainWindow::startsWithEmptyTableAndNoCurrentRow()
{
    QTableWidget *servers = table();
    QVERIFY(servers);
    QCOMPARE(servers->rowCount(), 0);
    QCOMPARE(servers->columnCount(), 1);
    QVERIFY(servers->horizontalHeader()->isHidden());
    QVERIFY(servers->verticalHeader()->isHidden());
    QCOMPARE(servers->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(servers->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(servers->currentRow(), -1);
    QCOMPARE(window->size(), QSize(853, 480));
    QCOMPARE(window->mManager->getServerCount(), 0);
}

void tst_mainWindow::buildsButtonsAndBlackVideoArea()
{
    for (const char *text : {"Start", "Stop", "Controller", "WebUI"})
        QVERIFY2(button(window, text), text);
    QVERIFY(!button(window, "Controller")->isEnabled());
    QVERIFY(button(window, "Start")->isEnabled());
    QVERIFY(window->videoWidget->autoFillBackground());
    QCOMPARE(window->videoWidget->palette().color(QPalette::Window), QColor(Qt::black));
}

void tst_mainWindow::splittersKeepTheirStretchAndMargins()
{
    QSplitter *vertical = splitter(window, Qt::Vertical);
    QSplitter *horizontal = splitter(window, Qt::Horizontal);
    QVERIFY(vertical && horizontal);
    QCOMPARE(window->centralWidget(), horizontal);
    QCOMPARE(vertical->widget(0), window->videoWidget);
    QCOMPARE(vertical->widget(0)->sizePolicy().verticalStretch(), 31);
    QCOMPARE(vertical->widget(1)->sizePolicy().verticalStretch(), 1);
    QCOMPARE(horizontal->widget(1), vertical);
    QCOMPARE(vertical->sizePolicy().horizontalStretch(), 30);
    QCOMPARE(vertical->contentsMargins(), QMargins(0, 10, 10, 0));
}

void tst_mainWindow::streamSelectorsAreNotPlaced()
{
    QVERIFY(window->findChildren<QComboBox *>().isEmpty());
}

// The selectors and labels that are built but not placed belong to the window all the same.
void tst_mainWindow::destroyedWindowLeavesNoWidgetsBehind()
{
    const int widgetsBefore = QApplication::allWidgets().size();
    delete new TAVO_ui_mainWindow;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::allWidgets().size(), widgetsBefore);
}

void tst_mainWindow::rowsAreAppendedAndRemoved()
{
    window->addServer(QStringLiteral("Living Room (127.0.0.2)"));
    window->addServer(QStringLiteral(" Bedroom \n(127.0.0.3)"));
    QTableWidget *servers = table();
    QCOMPARE(servers->rowCount(), 2);
    QCOMPARE(servers->item(1, 0)->text(), QStringLiteral(" Bedroom \n(127.0.0.3)"));
    QVERIFY(!servers->item(0, 0)->icon().isNull());
    QCOMPARE(servers->currentRow(), -1);
    window->removeServer(0);
    QCOMPARE(servers->rowCount(), 1);
    QCOMPARE(servers->item(0, 0)->text(), QStringLiteral(" Bedroom \n(127.0.0.3)"));
}

// A box's description is its own: markup in it is shown as text, not obeyed.
void tst_mainWindow::rowToolTipShowsTheBoxsTextsAsTheyAre()
{
    TAVO_SERVER server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = QStringLiteral("49152");
    server.device.modelName = QStringLiteral("<b>KLD</b>");
    server.device.modelNumber = QStringLiteral("450 & more");
    server.device.serialNumber = QStringLiteral("<img src=x>");
    QCOMPARE(window->mManager->addServer(server), 0);
    window->addServer(QStringLiteral("Box (127.0.0.1)"));
    QCOMPARE(TAVO_test_windowParts::toolTipText(table()->item(0, 0)),
             QStringLiteral("Model: <b>KLD</b> (450 & more)\nSerial number: <img src=x>\nAddress: 127.0.0.1:49152"));
}

void tst_mainWindow::keysWithoutSelection_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("asksForServer");
    QTest::newRow("C") << int(Qt::Key_C) << true;
    QTest::newRow("left") << int(Qt::Key_Left) << false;
    QTest::newRow("right") << int(Qt::Key_Right) << false;
    QTest::newRow("up") << int(Qt::Key_Up) << false;
    QTest::newRow("escape") << int(Qt::Key_Escape) << false;
    QTest::newRow("X") << int(Qt::Key_X) << false;
}

void tst_mainWindow::keysWithoutSelection()
{
    QFETCH(int, key);
    QFETCH(bool, asksForServer);
    static QStringList debugLines;
    debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        debugLines << text;
    });
    QTest::keyClick(window, Qt::Key(key));
    qInstallMessageHandler(previous);
    QCOMPARE(debugLines.contains(QStringLiteral("Please Select a Server")), asksForServer);
    QCOMPARE(TAVO_test_windowParts::statusMessage(window) == QStringLiteral("Please select a box first"), asksForServer);
    QCOMPARE(window->windowState(), Qt::WindowNoState);
    QVERIFY(table()->isVisible());
    QCOMPARE(table()->currentRow(), -1);
}

void tst_mainWindow::clickServerRow()
{
    TAVO_SERVER server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = QStringLiteral("9");
    server.device.UDN = QStringLiteral("4d696e69-0000-0000-0000-000000000001");
    server.tavoStreamer.streamerSource[0].remoteControllerURL = QStringLiteral("/rcu/tv.xml");
    QCOMPARE(window->mManager->addServer(server), 0);
    window->addServer(QStringLiteral("Box (127.0.0.1)"));
    QTableWidget *servers = table();
    const QRect cell = servers->visualItemRect(servers->item(0, 0));
    QTest::mouseClick(servers->viewport(), Qt::LeftButton, {}, cell.center());
}

void tst_mainWindow::clickEnablesControllerEvenWithoutDownload()
{
    clickServerRow();
    QVERIFY(button(window, "Controller")->isEnabled());
    QCOMPARE(table()->currentRow(), 0);
}

// A broken install without the web page module: WebUI says so instead of doing nothing. The
// module is looked for beside the program, so this test runs again as a second link to its
// program in a folder of its own.
void tst_mainWindow::webUiWithoutItsModuleSaysWhy()
{
    if (qEnvironmentVariableIsSet("TAVO_TEST_WITHOUT_WEBPAGE")) {
        clickServerRow();
        for (int press = 0; press < 2; ++press) {
            TAVO_test_messageBoxes boxes;
            button(window, "WebUI")->click();
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen.first().text, QStringLiteral("The web page cannot be shown."));
        }
        return;
    }
    QTemporaryDir alone(QStringLiteral(TAVO_BIN_DIR "/../no-webpage-XXXXXX"));
    const QString program = alone.filePath(QStringLiteral("tst_mainWindow"));
    QVERIFY(::link(qPrintable(QCoreApplication::applicationFilePath()), qPrintable(program)) == 0);
    QProcess withoutModule;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVO_TEST_WITHOUT_WEBPAGE"), QStringLiteral("1"));
    withoutModule.setProcessEnvironment(environment);
    withoutModule.setProcessChannelMode(QProcess::MergedChannels);
    withoutModule.start(program, {QStringLiteral("webUiWithoutItsModuleSaysWhy")});
    QVERIFY(withoutModule.waitForFinished(60000));
    QVERIFY2(withoutModule.exitCode() == 0, withoutModule.readAll().constData());
}

// A small laptop's screen, 1024 x 600 (set by the program's main): the help opens from the
// window's key or the picture's menu, shows all of itself on the screen, and Escape closes it.
void tst_mainWindow::keyboardHelpFitsTheScreenAndClosesOnEscape_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("?") << true;
    QTest::newRow("the picture's menu") << false;
}

void tst_mainWindow::keyboardHelpFitsTheScreenAndClosesOnEscape()
{
    QFETCH(bool, byKey);
    window->activateWindow();
    if (byKey) {
        QTest::keyClick(window, Qt::Key_Question, Qt::ShiftModifier);
    } else {
        Q_EMIT window->videoWidget->customContextMenuRequested(window->videoWidget->rect().center());
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        TAVO_test_windowParts::menuAction(menu, QStringLiteral("Keyboard"))->trigger();
        menu->close();
    }
    QWidget *help = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QStringLiteral("Keyboard"))
            help = widget;
    }
    QVERIFY(help);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    const QRect screen = help->screen()->availableGeometry();
    QCOMPARE(screen.size(), QSize(1024, 600));
    QVERIFY2(screen.contains(help->frameGeometry()),
             qPrintable(QStringLiteral("%1 x %2 at %3, %4").arg(help->frameGeometry().width()).arg(help->frameGeometry().height())
                            .arg(help->frameGeometry().x()).arg(help->frameGeometry().y())));
    // No list scrolls on its own beside the other: each shows all its rows.
    for (const QTableWidget *list : help->findChildren<QTableWidget *>())
        QCOMPARE(list->verticalScrollBar()->maximum(), 0);
    help->grab().save(QStringLiteral(TAVO_BIN_DIR "/../tst_mainWindow_keyboardHelp.png"));
    QTest::keyClick(help, Qt::Key_Escape);
    QVERIFY(help->isHidden());
}

void tst_mainWindow::keptFileMessageKeepsTheFileName_data()
{
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("folder");
    // What must stay readable of the words before the file's name.
    QTest::addColumn<QString>("readable");
    QTest::newRow("picture") << "Picture saved to " << QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)
                             << "Picture saved to ";
    QTest::newRow("recording") << "Recording ended: 0:13, 5.3 MB saved to "
                               << QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                               << "Recording ended: 0:13, 5.3 MB";
    QTest::newRow("recording of a long name") << "Recording Living Room by the Garden Window Downstairs to "
                                              << QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                                              << "Recording";
}

// In the window's first size, beside the widest word the status line keeps at its right: the
// folder gives way to the file's name, the tool tip holds the whole message, and the button
// beside it opens the folder.
void tst_mainWindow::keptFileMessageKeepsTheFileName()
{
    QFETCH(QString, said);
    QFETCH(QString, folder);
    QFETCH(QString, readable);
    const QString name = QStringLiteral("Living Room 2024-05-01 20.15.33.ts");
    const QString message = said + folder + QLatin1Char('/') + name;
    FolderOpener desktop;
    auto *shown = window->findChild<TAVO_ui_statusMessage *>();
    shown->addNotice(QStringLiteral("No sound device: playing the picture alone"));
    window->statusBar()->showMessage(message);
    auto *text = shown->findChild<QLabel *>();
    // The line is laid out anew for the notice and for the button beside the message.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QVERIFY2(text->text().startsWith(readable) && text->text().endsWith(name), qPrintable(text->text()));
    // Words go whole: what is left of the start ends where a word of it ends.
    const QString start = text->text().section(QStringLiteral("…"), 0, 0);
    QVERIFY2(start == text->text() || start.endsWith(QLatin1Char(' ')) || message.at(start.size()) == QLatin1Char(' '),
             qPrintable(text->text()));
    QVERIFY(text->fontMetrics().horizontalAdvance(text->text()) <= text->width());
    QCOMPARE(text->toolTip(), message);
    window->grab().save(QStringLiteral(TAVO_BIN_DIR "/../tst_mainWindow_%1.png").arg(QTest::currentDataTag()));

    shown->findChild<QToolButton *>()->click();
    QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
    // Read and gone: the message leaves the line by itself.
    auto *leaving = shown->findChild<QTimer *>(QStringLiteral("shownTimer"));
    QVERIFY(leaving && leaving->isActive() && leaving->interval() <= 30000);
    leaving->start(0);
    QTRY_VERIFY(window->statusBar()->currentMessage().isEmpty());
}

// Boxes remembered from earlier runs that do not answer are named all together; a box listed
// later is no longer named, and the message leaves once none is left.
void tst_mainWindow::unansweredRememberedBoxesAreNamedUntilListed()
{
    const QString first = QStringLiteral("http://127.0.0.2:9/description.xml");
    const QString second = QStringLiteral("http://127.0.0.3:9/description.xml");
    for (const QString &address : {first, second})
        TAVO_mgr_rememberedBoxes::remember({address, QString()});
    TAVO_ui_mainWindow nextStart;
    for (const QString &address : {first, second})
        TAVO_mgr_rememberedBoxes::forget(address);

    QTRY_VERIFY2(statusMessage(&nextStart).contains(first) && statusMessage(&nextStart).contains(second),
                 qPrintable(statusMessage(&nextStart)));
    listBoxAt(&nextStart, QStringLiteral("127.0.0.2"));
    QCOMPARE(statusMessage(&nextStart), "No box answers at " + second + ".");
    listBoxAt(&nextStart, QStringLiteral("127.0.0.3"));
    QCOMPARE(statusMessage(&nextStart), QString());
}

void tst_mainWindow::rememberedVolumeStaysWithinTheRange_data()
{
    QTest::addColumn<int>("remembered");
    QTest::addColumn<int>("played");
    QTest::newRow("above the top") << 300 << 125;
    QTest::newRow("below silence") << -20 << 0;
}

void tst_mainWindow::rememberedVolumeStaysWithinTheRange()
{
    QFETCH(int, remembered);
    QFETCH(int, played);
    TAVO_mgr_clientSettings::setVolume(remembered);
    TAVO_ui_mainWindow nextStart;
    TAVO_mgr_clientSettings::setVolume(100);
    QCOMPARE(nextStart.player->volume(), played);
}

// Full screen is a passing state: a window closed in it opens normal at the next start.
void tst_mainWindow::windowClosedInFullScreenOpensNormal()
{
    TAVO_mgr_clientSettings::setWindowGeometry({});
    QTest::keyClick(window, Qt::Key_F);
    QVERIFY(window->isFullScreen());
    // The window's own close handler ends the process: the close is shown to its memory alone.
    QCloseEvent close;
    static_cast<QObject *>(window->findChild<TAVO_ui_windowMemory *>())->eventFilter(window, &close);
    TAVO_ui_mainWindow nextStart;
    TAVO_mgr_clientSettings::setWindowGeometry({});
    QVERIFY(!(nextStart.windowState() & Qt::WindowFullScreen));
}

// A device missing once is looked for again at the user's next Start: one that came back (here
// a sound server named in the environment) plays the next stream, and the notice leaves the line.
void tst_mainWindow::soundDeviceIsLookedForAgainAtStart()
{
    TAVO_player_soundDevice *sound = window->player->soundDevice();
    const auto noticeShown = [this] {
        const QList<QLabel *> labels = window->statusBar()->findChildren<QLabel *>();
        return std::any_of(labels.cbegin(), labels.cend(), [](const QLabel *label) {
            return label->toolTip() == TAVO_player_soundDevice::missingNotice;
        });
    };
    sound->noteMissing();
    QTRY_VERIFY(noticeShown());
    qputenv("PULSE_SERVER", "unix:/run/user/1000/pulse/native");
    window->player->startPlay(nullptr);
    qunsetenv("PULSE_SERVER");
    QVERIFY(!sound->isMissing());
    QTRY_VERIFY(!noticeShown());
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TAVO_SOURCE_DIR "/tests/support/offscreen-1024x600.json");
    QApplication app(argc, argv);
    tst_mainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainWindow.moc"
