#ifndef TAVO_UI_WINDOWMEMORY_H
#define TAVO_UI_WINDOWMEMORY_H

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

class QComboBox;
class QSplitter;
class QWidget;
class TAVO_ui_controller;

// The main window's size, place and splitters, and the remote panel's place and the controller
// chosen for each box, as the user left them at the last start. The panel opens beside the main
// window, where the screen has room, until the user gives it a place of its own; wherever it
// opens, its title bar is on a screen.
class TAVO_ui_windowMemory : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_windowMemory(QWidget *window, QSplitter *horizontal, QSplitter *vertical, TAVO_ui_controller *panel);

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void restoreWindow();
    void saveWindow();
    void saveSplitters();
    void windowStateChanged(Qt::WindowStates oldState);
    void panelShown();
    void noteNormalFrame();
    void placePanel();
    QMargins panelFrameMargins() const;
    void savePanelPosition();
    void chooseRememberedController();
    void rememberController(int index);

    QWidget *window;
    QSplitter *horizontal;
    QSplitter *vertical;
    TAVO_ui_controller *panel;
    QComboBox *controllerList;
    QTimer windowSave;  // a drag moves and resizes many times: the place is written once it rests
    QTimer panelSave;
    bool choosingController = false;
    QRect normalFrame;  // the main window's frame out of full screen
    QMargins normalFrameMargins;
    QPoint placedAt;  // the panel's place as the client last gave it
};

#endif
