#ifndef TAVO_UI_CHANNELDOCK_H
#define TAVO_UI_CHANNELDOCK_H

#include "TAVO_mgr_channelList.h"

#include <QDockWidget>

#include <functional>
#include <optional>

class QListWidget;
class QListWidgetItem;
class QMainWindow;
class TAVO_ui_channelCaption;
class TAVO_ui_channelEntry;
class TAVO_ui_channelSwitcher;
class TAVO_ui_windowKeyboard;

// The chosen box's channels in a dock of the window: name, number and logo. A double click or
// Return tunes the channel (starting the stream first when it does not play); so does a number
// typed on the picture or in full screen, in the list or not. The channel tuned shows over the
// picture and at the right of the status line; the status line says why one was not tuned. The
// list floats beside the window and gives way to the full-screen picture.
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

    TAVO_ui_channelDock(QMainWindow *window, QWidget *picture, TAVO_ui_channelSwitcher *switcher,
                        WindowActions actions);

    // The window's keys that show the list, step through it and go back to the channel before,
    // and the digits typed in these places.
    void useKeys(const TAVO_ui_windowKeyboard *keyboard, const QList<QWidget *> &digitPlaces);
    // Shows the list of the box chosen now (nothing when it is the one shown).
    void followChosenBox();
    bool tune(int row);
    // Tunes the channel `step` rows after the one tuned last (before it when negative), round.
    void step(int step);
    // Tunes the channel watched before the last one.
    void tuneChannelBefore();
    // Tunes the channel of that number: the list's keys for it, or its digits and the confirming key.
    void tuneNumber(const QString &number);
    // The box whose stream plays now (empty when none): the status line names its channel.
    void playingChanged(const QString &playingUdn);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool reload();
    void showList();
    void place();
    QMargins frameMargins() const;
    bool tuneChannel(TAVO_mgr_channel channel);
    void remember(const QString &number);
    void showPlayingChannel();
    int rowOf(const QString &number) const;
    void edit();

    TAVO_ui_channelSwitcher *switcher;
    WindowActions actions;
    QListWidget *view;
    TAVO_ui_channelEntry *entry;
    TAVO_ui_channelCaption *caption;
    QString udn;
    QString playing;     // the box whose stream plays
    QString tunedUdn;    // the box the client tuned last, and to which channel
    QString tunedText;
    TAVO_mgr_channelList list;
    QString refusal;  // why the box's file was not read, which is then never written
    std::optional<QPoint> placedAt;  // where the client last put the floating list's frame
    bool hiddenForFullScreen = false;
};

#endif
