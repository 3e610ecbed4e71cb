#ifndef TAVO_UI_MAINWINDOW_H
#define TAVO_UI_MAINWINDOW_H

#include "TAVO_mgr_defaultStructure.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableWidget;
class QVBoxLayout;
class TAVO_mgr_mainManager;
class TAVO_mgr_streamKeeper;
class TAVO_player_recorder;
class TAVO_player_vlcPlayer;
class TAVO_ui_boxListMarks;
class TAVO_ui_boxesByAddress;
class TAVO_ui_controller;
class TAVO_ui_fullScreenWidget;
class TAVO_ui_statusMessage;
class TAVO_ui_streamSettings;
class TAVO_ui_windowKeyboard;
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
    void reloadOpenController(const QString &savedPath);
    bool loadController();
    void setToFullScreen();
    bool hasCurrentRow();
    void setStreamControlsEnabled(bool enabled);
    QString rcuDescriptionPath() const;

    Ui::TAVO_ui_mainWindow *ui;
    QTableWidget *serverList;
    QStackedWidget *stackWidget;
    QVBoxLayout *layout1;
    QWidget *leftWidget;
    // Owns the stream settings' selectors and labels, which a box's stream settings dialog shows.
    TAVO_ui_streamSettings *streamSettings;
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
    TAVO_ui_windowKeyboard *windowKeyboard;
    QWidget *webView = nullptr;
    int playRequests = 0;  // counts Starts and Stops, so a start-up can tell it was overtaken

    void initStatusLine();
    TAVO_player_recorder *initPictureMenu();
    void initStreamTuning();
    void initKeyboard(TAVO_player_recorder *recorder, TAVO_ui_statusMessage *statusMessage);
    void showStatus(const QString &text);

    TAVO_ui_boxListMarks *boxListMarks = nullptr;
    TAVO_mgr_streamKeeper *streamKeeper = nullptr;
};

#endif
