#include "TAVO_ui_mainWindow.h"
#include "ui_TAVO_ui_mainWindow.h"

#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_httpRequest.h"
#include "TAVO_mgr_keyFailures.h"
#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_streamKeeper.h"
#include "TAVO_mgr_streamRequest.h"
#include "TAVO_mgr_streamServer.h"
#include "TAVO_player_pictureKeeper.h"
#include "TAVO_player_recorder.h"
#include "TAVO_player_restartOwner.h"
#include "TAVO_player_vlcPlayer.h"
#include "TAVO_ui_boxListMarks.h"
#include "TAVO_ui_boxStreamSettings.h"
#include "TAVO_ui_cacheWarning.h"
#include "TAVO_ui_boxesByAddress.h"
#include "TAVO_ui_channelDock.h"
#include "TAVO_ui_channelSwitcher.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_dialogOverFullScreen.h"
#include "TAVO_ui_fullScreenNotice.h"
#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_images.h"
#include "TAVO_ui_keyboardHelp.h"
#include "TAVO_ui_lastBox.h"
#include "TAVO_ui_panelOverFullScreen.h"
#include "TAVO_ui_pictureMenu.h"
#include "TAVO_ui_playGestures.h"
#include "TAVO_ui_recordedRows.h"
#include "TAVO_ui_recordingMark.h"
#include "TAVO_ui_remoteKeyboard.h"
#include "TAVO_ui_serverItem.h"
#include "TAVO_ui_statusMessage.h"
#include "TAVO_ui_steeredBoxLabel.h"
#include "TAVO_ui_streamSettings.h"
#include "TAVO_ui_streamTuningReset.h"
#include "TAVO_ui_volumeControl.h"
#include "TAVO_ui_webPage.h"
#include "TAVO_ui_windowKeyboard.h"
#include "TAVO_ui_windowMemory.h"
#include "TAVO_ui_windowNames.h"
#include "TAVO_upnp_upnpControlPoint.h"
#include "TAVO_xml_xmlDownloader.h"

#include <QAction>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

using TAVO_ui_windowKeys::Key;

constexpr QMargins normalVideoMargins(0, 10, 10, 0);

TAVO_ui_mainWindow::TAVO_ui_mainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::TAVO_ui_mainWindow)
{
    ui->setupUi(this);
    mManager = new TAVO_mgr_mainManager(this);
    player = new TAVO_player_vlcPlayer(this);
    upnpControlPoint = new TAVO_upnp_upnpControlPoint(this);
    fullScreenWidget = new TAVO_ui_fullScreenWidget(nullptr);
    controllerWidget = new TAVO_ui_controller(nullptr);
    initUI();
    player->setVideoArea(videoWidget);
    initStatusLine();
    TAVO_player_recorder *recorder = initPictureMenu();
    initStreamTuning();
    statusBar()->insertPermanentWidget(
        0, new TAVO_ui_volumeControl(player, videoWidget, fullScreenWidget, statusBar(), windowKeyboard));
    auto *statusMessage = new TAVO_ui_statusMessage(statusBar());
    // A lasting word beside the box count: the stream's own messages would soon replace it.
    connect(player->soundDevice(), &TAVO_player_soundDevice::missing, statusMessage, &TAVO_ui_statusMessage::addNotice);
    connect(player->soundDevice(), &TAVO_player_soundDevice::found, statusMessage, &TAVO_ui_statusMessage::removeNotice);
    boxesByAddress = new TAVO_ui_boxesByAddress(this, serverList, upnpControlPoint);
    connect(boxesByAddress, &TAVO_ui_boxesByAddress::notAdded, this, &TAVO_ui_mainWindow::showStatus);
    connect(boxesByAddress, &TAVO_ui_boxesByAddress::notAddedRevised, statusMessage, &TAVO_ui_statusMessage::revise);
    new TAVO_ui_fullScreenNotice(this);
    new TAVO_ui_windowMemory(this, splitter2, splitter1, controllerWidget);
    // Full screen shows the box that plays, or the chosen one before it plays.
    new TAVO_ui_windowNames(fullScreenWidget, [this] {
        const QString playing = streamKeeper->playingName();
        return playing.isEmpty() && currentServer ? currentServer->device.friendlyName : playing;
    });
    new TAVO_ui_lastBox(serverList, mManager, startButton);
    initKeyboard(recorder, statusMessage);
    TAVO_ui_cacheWarning::showIfMissing(this);
}

// The program itself ends from closeEvent without destroying the window; a window that is
// destroyed (in tests, say) releases everything it made, discovery first so no new work starts.
TAVO_ui_mainWindow::~TAVO_ui_mainWindow()
{
    delete boxesByAddress;
    delete upnpControlPoint;
    delete webView;
    delete controllerWidget;
    delete fullScreenWidget;
    delete streamSettings;
    player->stopPlay();
    delete player;
    delete mManager;
    delete ui;
}

void TAVO_ui_mainWindow::initUI()
{
    serverList = new QTableWidget(0, 1);
    serverList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    serverList->verticalHeader()->hide();
    serverList->horizontalHeader()->hide();
    serverList->setSelectionMode(QAbstractItemView::SingleSelection);

    stackWidget = new QStackedWidget;
    stackWidget->addWidget(serverList);
    stackWidget->setCurrentIndex(0);

    layout1 = new QVBoxLayout;
    layout1->addWidget(stackWidget);
    leftWidget = new QWidget;
    leftWidget->setLayout(layout1);

    videoWidget = new QWidget(this);
    videoWidget->setAutoFillBackground(true);
    QPalette blackPalette = palette();
    blackPalette.setColor(QPalette::Window, Qt::black);
    videoWidget->setPalette(blackPalette);

    streamSettings = new TAVO_ui_streamSettings;
    videoCodec = streamSettings->videoCodec;
    audioCodec = streamSettings->audioCodec;
    resolution = streamSettings->resolution;
    framerate = streamSettings->framerate;
    bitrate = streamSettings->bitrate;
    layout2 = streamSettings->selectorRow;

    startButton = new QPushButton(QStringLiteral("Start"));
    stopButton = new QPushButton(QStringLiteral("Stop"));
    ctrlButton = new QPushButton(QStringLiteral("Controller"));
    ctrlButton->setEnabled(false);
    auto *webButton = new QPushButton(QStringLiteral("WebUI"));
    layout3 = new QHBoxLayout;
    for (QPushButton *button : {startButton, stopButton, ctrlButton, webButton})
        layout3->addWidget(button);

    layout4 = new QVBoxLayout;
    layout4->addLayout(layout3);
    rightWidget = new QWidget;
    rightWidget->setLayout(layout4);

    splitter1 = new QSplitter(Qt::Vertical);
    splitter1->addWidget(videoWidget);
    splitter1->addWidget(rightWidget);
    splitter1->setStretchFactor(0, 31);
    splitter1->setStretchFactor(1, 1);
    splitter1->setContentsMargins(normalVideoMargins);

    splitter2 = new QSplitter(Qt::Horizontal);
    splitter2->addWidget(leftWidget);
    splitter2->addWidget(splitter1);
    splitter2->setStretchFactor(1, 30);
    setCentralWidget(splitter2);
    resize(853, 480);

    // F and the window's other keys, from their table: they go before the table's keyboard search.
    windowKeyboard = new TAVO_ui_windowKeyboard({this, fullScreenWidget, serverList, controllerWidget}, this);

    connect(webButton, &QPushButton::clicked, this, &TAVO_ui_mainWindow::webSwitch);
    connect(serverList, &QTableWidget::cellClicked, this, &TAVO_ui_mainWindow::serverListSelectedChange);
    connect(splitter2, &QSplitter::splitterMoved, this, &TAVO_ui_mainWindow::hSplitterMoved);
    connect(splitter1, &QSplitter::splitterMoved, this, &TAVO_ui_mainWindow::vSplitterMoved);
    connect(startButton, &QPushButton::clicked, this, &TAVO_ui_mainWindow::videoPlay);
    connect(stopButton, &QPushButton::clicked, this, &TAVO_ui_mainWindow::videoStop);
    connect(ctrlButton, &QPushButton::clicked, this, &TAVO_ui_mainWindow::ctrlSwitch);
    connect(windowKeyboard->action(Key::FullScreen), &QAction::triggered, this, &TAVO_ui_mainWindow::serverListKeyPressed);
    connect(windowKeyboard->action(Key::RemotePanel), &QAction::triggered, this, &TAVO_ui_mainWindow::ctrlSwitch);

    serverList->setColumnWidth(0, QGuiApplication::primaryScreen()->virtualGeometry().width());
    serverList->setCurrentCell(-1, 0);
    setFocus();
}

void TAVO_ui_mainWindow::addServer(QString server)
{
    const QIcon icon(TAVO_ui_images::path(QStringLiteral("IP_Streamer.png")));
    const int row = serverList->rowCount();
    auto *item = new TAVO_ui_serverItem(icon, server, row < mManager->getServerCount() ? mManager->getServer(row) : nullptr);
    serverList->setRowCount(row + 1);
    serverList->setItem(row, 0, item);
    boxListMarks->showBoxCount();
}

void TAVO_ui_mainWindow::removeServer(int index)
{
    serverList->removeRow(index);
}

void TAVO_ui_mainWindow::setToNormalScreen()
{
    leftWidget->show();
    rightWidget->show();
    statusBar()->show();
    splitter1->setContentsMargins(normalVideoMargins);
    setWindowState(Qt::WindowNoState);
}

void TAVO_ui_mainWindow::setCtrlSwitch()
{
    ctrlSwitch();
}

void TAVO_ui_mainWindow::addBoxesByAddress(const QStringList &addresses)
{
    boxesByAddress->addBoxes(addresses);
}

void TAVO_ui_mainWindow::setToFullScreen()
{
    leftWidget->hide();
    rightWidget->hide();
    statusBar()->hide();
    splitter1->setContentsMargins(0, 0, 0, 0);
    setWindowState(Qt::WindowFullScreen);
    fullScreenWidget->setParentWidget(this);
    fullScreenWidget->show();
}

// A row made current with the keyboard selects nothing: the actions need a clicked row. The
// debug line stays for the terminal; the status line tells the user.
bool TAVO_ui_mainWindow::hasCurrentRow()
{
    if (serverList->currentRow() == -1 || !currentServer) {
        qDebug() << "Please Select a Server";
        showStatus(QStringLiteral("Please select a box first"));
        return false;
    }
    return true;
}

void TAVO_ui_mainWindow::serverListSelectedChange(int row, int column)
{
    Q_UNUSED(column)
    currentServer = mManager->getServer(row);
    const QString remoteControllerURL = currentServer->tavoStreamer.streamerSource[0].remoteControllerURL;
    const QString savePath = rcuDescriptionPath();
    if (!savePath.isEmpty()) {
        QDir().mkpath(TAVO_mgr_cache::boxFolder(currentServer->device.UDN) + QLatin1String("rcu/"));
        QFile::remove(savePath);
        // The box path starts with "/" (checked above), so it cannot move the URL to another host.
        auto *url = new QUrl(QLatin1String("http://") + currentServer->host + QLatin1Char(':')
                             + currentServer->port + remoteControllerURL);
        auto *downloader = new TAVO_xml_xmlDownloader(this);
        if (controllerWidget->isVisible()) {
            connect(downloader, &TAVO_xml_xmlDownloader::downloadFinished, this,
                    [this, savePath](TAVO_xml_xmlDownloader::Outcome outcome) {
                if (outcome == TAVO_xml_xmlDownloader::Outcome::Saved)
                    reloadOpenController(savePath);
            });
        }
        downloader->downloadFile(url, savePath, QString(), QString(), QString());
    }
    ctrlButton->setEnabled(true);
}

// The open panel steers the current box: when another box is chosen while it is shown, it
// loads that box's remote as closing and opening it again would.
void TAVO_ui_mainWindow::reloadOpenController(const QString &savedPath)
{
    if (!controllerWidget->isVisible() || !currentServer || savedPath != rcuDescriptionPath())
        return;
    controllerWidget->setCurrentServer(currentServer);
    QString path = savedPath;
    if (!controllerWidget->setXmlPath(&path))
        controllerWidget->hide();
}

void TAVO_ui_mainWindow::serverListKeyPressed()
{
    setToFullScreen();
}

void TAVO_ui_mainWindow::videoPlay()
{
    if (!hasCurrentRow())
        return;
    if (TAVO_mgr_streamRequest::isEncrypted(*currentServer))
        TAVO_mgr_streamRequest::pinBoxKey(currentServer->host, QDir::homePath());
    playPath = TAVO_mgr_streamRequest::streamUrl(*currentServer);
    const QString shownUrl = TAVO_mgr_streamRequest::shownStreamUrl(*currentServer);
    qDebug().noquote() << shownUrl;

    // The player reads the box's stream through the program's one reader of it, which a recording
    // shares.
    const QString readerUrl = TAVO_mgr_streamServer::instance()->urlFor(*currentServer, TAVO_player_vlcPlayer::streamClock);
    const QByteArray location = (readerUrl.isEmpty() ? playPath : readerUrl).toLatin1();
    const int start = ++playRequests;
    streamKeeper->requested(currentServer->device.UDN, currentServer->device.friendlyName, location);
    player->stopPlay();
    player->startPlay(location.constData());
    // The start-up runs the event loop: a Stop or another Start during it has taken over.
    if (start != playRequests)
        return;
    qDebug().noquote() << shownUrl;
    streamKeeper->startReturned(player->isPlaying(), player->lastFailure().reason);

    QPalette blackPalette = palette();
    blackPalette.setColor(QPalette::Window, Qt::black);
    videoWidget->setPalette(blackPalette);
    setStreamControlsEnabled(false);
    setFocus();
}

void TAVO_ui_mainWindow::videoStop()
{
    ++playRequests;
    player->stopPlay();
    setStreamControlsEnabled(true);
    streamKeeper->stopped();
}

void TAVO_ui_mainWindow::setStreamControlsEnabled(bool enabled)
{
    for (QWidget *control : {static_cast<QWidget *>(videoCodec), static_cast<QWidget *>(audioCodec),
                             static_cast<QWidget *>(resolution), static_cast<QWidget *>(framerate),
                             static_cast<QWidget *>(bitrate), static_cast<QWidget *>(startButton)})
        control->setEnabled(enabled);
}

QString TAVO_ui_mainWindow::rcuDescriptionPath() const
{
    return TAVO_mgr_cache::boxFile(currentServer->device.UDN,
                                   currentServer->tavoStreamer.streamerSource[0].remoteControllerURL);
}

void TAVO_ui_mainWindow::ctrlSwitch()
{
    if (!hasCurrentRow())
        return;
    qDebug() << "Controller Switch";
    if (loadController())
        controllerWidget->setVisible(controllerWidget->isHidden());
}

// Loads the current box's remote into the panel, shown or not; false when there is none.
bool TAVO_ui_mainWindow::loadController()
{
    if (!hasCurrentRow())
        return false;
    QString path = rcuDescriptionPath();
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    controllerWidget->setParentWidget(this);
    controllerWidget->setCurrentServer(currentServer);
    return controllerWidget->setXmlPath(&path);
}

void TAVO_ui_mainWindow::webSwitch()
{
    if (!hasCurrentRow())
        return;
    qDebug() << "Web Switch";
    if (!webView)
        webView = TAVO_ui_webPage::create();
    if (!webView) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Message"),
                        QStringLiteral("The web page cannot be shown."), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(TAVO_ui_webPage::loadProblem());
        box.exec();
        return;
    }
    webView->setFixedSize(900, 600);
    TAVO_ui_webPage::load(webView, QUrl(QLatin1String("http://") + currentServer->host + QLatin1Char('/')));
    webView->setWindowTitle(TAVO_ui_windowNames::title(currentServer->device.friendlyName, QStringLiteral("web page")));
    webView->setVisible(webView->isHidden());
}

// The box's remote on the keyboard, the players' keys and clicks for playing a box and for full
// screen, and the boxes being recorded, by the window or by a recording command.
void TAVO_ui_mainWindow::initKeyboard(TAVO_player_recorder *recorder, TAVO_ui_statusMessage *statusMessage)
{
    const auto leaveFullScreen = [this] { setToNormalScreen(); fullScreenWidget->hide(); };
    connect(windowKeyboard->action(Key::NormalScreen), &QAction::triggered, this, leaveFullScreen);
    const auto steer = [this] { return controllerWidget->steers(currentServer) || loadController(); };
    new TAVO_ui_remoteKeyboard(controllerWidget, fullScreenWidget, videoWidget, {steer}, this);
    new TAVO_ui_panelOverFullScreen(controllerWidget, fullScreenWidget, this);
    new TAVO_ui_dialogOverFullScreen(fullScreenWidget, this);
    new TAVO_ui_keyboardHelp(this, controllerWidget, windowKeyboard->action(Key::KeyboardHelp));
    new TAVO_ui_steeredBoxLabel(controllerWidget);
    new TAVO_ui_playGestures(
        serverList, windowKeyboard->action(Key::PlayBox), {videoWidget, fullScreenWidget},
        [this](int row) {
            if (mManager->getServer(row) != currentServer)
                serverListSelectedChange(row, 0);
            videoPlay();
        },
        [this, leaveFullScreen] { isFullScreen() ? leaveFullScreen() : setToFullScreen(); }, this);
    auto *switcher = new TAVO_ui_channelSwitcher(controllerWidget, steer, this);
    auto *recordedRows = new TAVO_ui_recordedRows(serverList, mManager, controllerWidget, switcher);
    connect(recorder, &TAVO_player_recorder::recordingChanged, recordedRows, [this, recordedRows](bool recording) {
        recordedRows->windowRecords(recording ? streamKeeper->playingUdn() : QString(), streamKeeper->playingName());
    });
    connect(recordedRows, &TAVO_ui_recordedRows::alsoRecorded, statusMessage, &TAVO_ui_statusMessage::addNotice);
    connect(recordedRows, &TAVO_ui_recordedRows::alsoRecordedNoMore, statusMessage,
            &TAVO_ui_statusMessage::removeNotice);
    auto *channels = new TAVO_ui_channelDock(this, videoWidget, switcher,
        {[this] { return currentServer ? currentServer->device.UDN : QString(); },
         [this] { return currentServer ? currentServer->device.friendlyName : QString(); },
         [this] { if (streamKeeper->playingUdn() != currentServer->device.UDN) videoPlay(); },
         [this](const QString &text) { showStatus(text); }});
    connect(serverList, &QTableWidget::cellClicked, channels, &TAVO_ui_channelDock::followChosenBox);
    connect(streamKeeper, &TAVO_mgr_streamKeeper::playingChanged, channels, &TAVO_ui_channelDock::playingChanged);
    channels->useKeys(windowKeyboard, {videoWidget, fullScreenWidget});
}

void TAVO_ui_mainWindow::initStatusLine()
{
    boxListMarks = new TAVO_ui_boxListMarks(serverList, mManager, statusBar());
    connect(upnpControlPoint, &TAVO_upnp_upnpControlPoint::boxSeen, boxListMarks,
            [this](const QString &uuid) { boxListMarks->showBoxAnswering(uuid, true); });
    connect(upnpControlPoint, &TAVO_upnp_upnpControlPoint::boxLeft, boxListMarks,
            [this](const QString &uuid) { boxListMarks->showBoxAnswering(uuid, false); });
    connect(upnpControlPoint, &TAVO_upnp_upnpControlPoint::searchTrouble, this, &TAVO_ui_mainWindow::showStatus);

    TAVO_mgr_streamKeeper::Player keeperPlayer{
        [this] { player->stopPlay(); },
        [this](const QByteArray &location) { player->startQuietly(location.constData()); },
        [this] { return player->bytesRead(); },
        TAVO_player_vlcPlayer::startUpLimitMs};
    streamKeeper = new TAVO_mgr_streamKeeper(std::move(keeperPlayer), this);
    connect(streamKeeper, &TAVO_mgr_streamKeeper::status, this, &TAVO_ui_mainWindow::showStatus);
    connect(streamKeeper, &TAVO_mgr_streamKeeper::playingChanged, boxListMarks, &TAVO_ui_boxListMarks::markPlaying);
    connect(player->streamEvents(), &TAVO_player_streamEvents::lost, streamKeeper, &TAVO_mgr_streamKeeper::lost);
    connect(player->streamEvents(), &TAVO_player_streamEvents::back, streamKeeper, &TAVO_mgr_streamKeeper::back);

    auto *keyFailures = new TAVO_mgr_keyFailures(mManager, this);
    TAVO_mgr_httpRequest *keySender = controllerWidget->httpRequest;
    connect(keySender, &TAVO_mgr_httpRequest::commandFailed, keyFailures, &TAVO_mgr_keyFailures::failed);
    connect(keySender, &TAVO_mgr_httpRequest::commandAnswered, keyFailures, &TAVO_mgr_keyFailures::answered);
    connect(keyFailures, &TAVO_mgr_keyFailures::report, this, &TAVO_ui_mainWindow::showStatus);
}

TAVO_player_recorder *TAVO_ui_mainWindow::initPictureMenu()
{
    auto *recorder = new TAVO_player_recorder(
        player, [this] { return streamKeeper->playingUdn(); }, [this] { return streamKeeper->playingName(); }, this);
    auto *pictureKeeper = new TAVO_player_pictureKeeper(
        player, [this] { return streamKeeper->playingName(); }, this);
    new TAVO_ui_recordingMark(recorder, statusBar());
    connect(streamKeeper, &TAVO_mgr_streamKeeper::playingChanged, recorder, &TAVO_player_recorder::streamChanged);
    connect(recorder, &TAVO_player_recorder::status, this, &TAVO_ui_mainWindow::showStatus);
    connect(pictureKeeper, &TAVO_player_pictureKeeper::status, this, &TAVO_ui_mainWindow::showStatus);

    connect(windowKeyboard->action(Key::SavePicture), &QAction::triggered, pictureKeeper,
            &TAVO_player_pictureKeeper::save);
    QAction *record = windowKeyboard->action(Key::Record);
    record->setCheckable(true);
    connect(record, &QAction::triggered, recorder, [record, recorder] {
        recorder->toggle();
        record->setChecked(recorder->isRecording());
    });
    connect(recorder, &TAVO_player_recorder::recordingChanged, record, &QAction::setChecked);
    auto *menu = new TAVO_ui_pictureMenu(videoWidget);
    for (const Key entry : {Key::SavePicture, Key::Record, Key::KeyboardHelp})
        menu->addEntry(windowKeyboard->action(entry));
    return recorder;
}

void TAVO_ui_mainWindow::initStreamTuning()
{
    auto *restartOwner = new TAVO_player_restartOwner(
        {[this] { return player->pictureCounts(); }, [this] { return player->raisedDelayMs(); },
         [this] { return streamKeeper->playingName(); }, [this] { player->restartQuietly(); }},
        this);
    player->setBoxMediaOptionsChooser(
        [this, restartOwner] { return restartOwner->mediaOptionsFor(streamKeeper->wantedBox()); });
    connect(streamKeeper, &TAVO_mgr_streamKeeper::playingChanged, restartOwner, &TAVO_player_restartOwner::playingChanged);
    connect(restartOwner, &TAVO_player_restartOwner::status, this, &TAVO_ui_mainWindow::showStatus);
    new TAVO_ui_boxStreamSettings(serverList, mManager, streamSettings,
                                  [this] { setStreamControlsEnabled(startButton->isEnabled()); });
    new TAVO_ui_streamTuningReset(serverList, mManager, restartOwner);
}

// The status bar draws its message as plain text, so a box's name shows as it is.
void TAVO_ui_mainWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text);
}

// Dragging a splitter changes nothing but the panes' sizes (the window's memory keeps them).
void TAVO_ui_mainWindow::hSplitterMoved(int, int) {}
void TAVO_ui_mainWindow::vSplitterMoved(int, int) {}

// Mouse events that reach the window itself are swallowed.
void TAVO_ui_mainWindow::mousePressEvent(QMouseEvent *) {}
void TAVO_ui_mainWindow::mouseReleaseEvent(QMouseEvent *) {}
void TAVO_ui_mainWindow::mouseDoubleClickEvent(QMouseEvent *) {}
void TAVO_ui_mainWindow::mouseMoveEvent(QMouseEvent *) {}

void TAVO_ui_mainWindow::keyPressEvent(QKeyEvent *event)
{
    qDebug() << event;
    if (TAVO_ui_windowKeys::isKeyOf(Key::FullScreen, event))
        setToFullScreen();
    else if (TAVO_ui_windowKeys::isKeyOf(Key::RemotePanel, event))
        ctrlSwitch();
}

void TAVO_ui_mainWindow::closeEvent(QCloseEvent *event)
{
    Q_UNUSED(event)
    qDebug() << "Close Event";
    player->stopPlay();
    QThread::msleep(1000);
    if (removeDirWithContent(TAVO_mgr_cache::root()))
        qDebug() << "Delete XML Success";
    else
        qDebug() << "Delete XML Failed";
    // The process ends here, with every window and library still in place: nothing is torn down.
    std::fflush(nullptr);
    std::_Exit(1);
}

bool TAVO_ui_mainWindow::removeDirWithContent(const QString &dirName)
{
    return TAVO_mgr_cache::removeRoot(dirName);
}
