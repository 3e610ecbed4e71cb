#ifndef TAVO_UI_CHANNELDOCK_H
#define TAVO_UI_CHANNELDOCK_H

#include "TAVO_mgr_channelList.h"

#include <QDockWidget>

#include <functional>

class QListWidget;
class QListWidgetItem;
class QMainWindow;
class TAVO_ui_channelEntry;
class TAVO_ui_channelTuner;
class TAVO_ui_windowKeyboard;

// The chosen box's channels in a dock of the window: name, number and logo. A double click or
// Return tunes the channel (starting the stream first when it does not play), and the status
// line names what was tuned or why it could not be. Digits typed on the picture or in full
// screen stay the box's keys; the status line shows the number they make and its channel.
class TAVO_ui_channelDock : public QDockWidget
{
    Q_OBJECT

public:
    struct WindowActions
    {
        // The UDN and name of the chosen box, empty when none is chosen.
        std::function<QString()> chosenUdn;
        std::function<QString()> chosenName;
        // Starts the chosen box's stream unless it plays already.
        std::function<void()> playChosenBox;
        std::function<void(const QString &)> showStatus;
    };

    TAVO_ui_channelDock(QMainWindow *window, TAVO_ui_channelTuner *tuner, WindowActions actions);

    // The window's keys that show the list, step through it and go back to the channel before.
    void useKeys(const TAVO_ui_windowKeyboard *keyboard);
    // Shows the list of the box chosen now (nothing when it is the one shown).
    void followChosenBox();
    bool tune(int row);
    // Tunes the channel `step` rows after the one tuned last (before it when negative), round.
    void step(int step);
    // Tunes the channel watched before the last one.
    void tuneChannelBefore();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showList();
    void showEntered(const QString &number);
    void remember(const QString &number);
    int rowOf(const QString &number) const;
    void edit();

    TAVO_ui_channelTuner *tuner;
    WindowActions actions;
    QListWidget *view;
    TAVO_ui_channelEntry *entry;
    QString udn;
    TAVO_mgr_channelList list;
    bool placed = false;  // a floating list is put beside the window once, then left where the user puts it
};

#endif
