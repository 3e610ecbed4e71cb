#ifndef TAVO_UI_MAINWINDOW_H
#define TAVO_UI_MAINWINDOW_H

#include "TAVO_mgr_defaultStructure.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableWidget;
class QVBoxLayout;
class TAVO_mgr_mainManager;
class TAVO_player_vlcPlayer;
class TAVO_ui_boxesByAddress;
class TAVO_ui_controller;
class TAVO_ui_fullScreenWidget;
class TAVO_upnp_upnpControlPoint;

namespace Ui {
class TAVO_ui_mainWindow;
}

// The one window of the client: the server table on the left, the video area with its buttons
// on the right. It creates and keeps every long-lived object of the program.
class TAVO_ui_mainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit TAVO_ui_mainWindow(QWidget *parent = nullptr);
    ~TAVO_ui_mainWindow() override;

    void initUI();
    // Appends a row "friendlyName (host)"; row i always shows registry entry i.
    void addServer(QString server);
    void removeServer(int index);
    void setToNormalScreen();
    void setCtrlSwitch();
    // Adds boxes by address (a host, host:port or description URL) as if discovered.
    void addBoxesByAddress(const QStringList &addresses);

    TAVO_player_vlcPlayer *player;
    QWidget *videoWidget;
    TAVO_mgr_mainManager *mManager;

private Q_SLOTS:
    void serverListSelectedChange(int row, int column);
    void serverListKeyPressed();
    void videoPlay();
    void videoStop();
    void ctrlSwitch();
    void webSwitch();
    void hSplitterMoved(int pos, int index);
    void vSplitterMoved(int pos, int index);

private:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    bool removeDirWithContent(const QString &dirName);
    void warnNoCache();
    void reloadOpenController(const QString &savedPath);
    void setToFullScreen();
    bool hasCurrentRow();
    void setStreamControlsEnabled(bool enabled);
    QString rcuDescriptionPath() const;

    Ui::TAVO_ui_mainWindow *ui;
    QTableWidget *serverList;
    QStackedWidget *stackWidget;
    QVBoxLayout *layout1;
    QWidget *leftWidget;
    QWidget *streamSettings;  // never shown; owns the stream settings' selectors and labels
    QHBoxLayout *layout2;
    QHBoxLayout *layout3;
    QComboBox *videoCodec;
    QComboBox *audioCodec;
    QComboBox *resolution;
    QComboBox *framerate;
    QComboBox *bitrate;
    QPushButton *startButton;
    QPushButton *stopButton;
    QPushButton *ctrlButton;
    QVBoxLayout *layout4;
    QWidget *rightWidget;
    QSplitter *splitter1;
    QSplitter *splitter2;
    QString playPath;
    TAVO_SERVER *currentServer = nullptr;
    TAVO_upnp_upnpControlPoint *upnpControlPoint;
    TAVO_ui_fullScreenWidget *fullScreenWidget;
    TAVO_ui_controller *controllerWidget;
    TAVO_ui_boxesByAddress *boxesByAddress;
    QWidget *webView = nullptr;
    int playRequests = 0;  // counts Starts and Stops, so a start-up can tell it was overtaken

    // The status line, the rows' marks and the stream that comes back by itself.
    void initStatusLine();
    void showStatus(const QString &text);
    void showBoxCount();
    int rowOf(const QString &udn) const;
    void showBoxAnswering(const QString &uuid, bool answering);
    void markPlayingRow();
    void streamRequested(const QByteArray &location);
    void streamStartReturned();
    void streamStopped();
    void streamLost();
    void retryStream();
    void streamBack();
    void endRetries();
    void checkStreamMoves();

    QLabel *boxCount = nullptr;
    // The box whose stream the window keeps playing, until Stop, another Start or a failed start.
    QString playingUdn;
    QString playingName;
    QByteArray playingLocation;
    QTimer retryTimer;    // the pause before the next attempt to get a lost stream back
    QTimer attemptBound;  // an attempt that neither plays nor fails within this is given up
    int retries = 0;
    // A box that vanishes without closing the connection leaves a stream that just stops.
    QTimer stallCheck;
    QElapsedTimer unchangedFor;
    qint64 lastBytesRead = -1;
};

#endif
