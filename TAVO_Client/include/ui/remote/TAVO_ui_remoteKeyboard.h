#ifndef TAVO_UI_REMOTEKEYBOARD_H
#define TAVO_UI_REMOTEKEYBOARD_H

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QKeyEvent;
class QPushButton;
class QWidget;
class TAVO_ui_controller;

// Presses the remote panel's buttons from the computer's keyboard, by the map of the key slot
// table, while the panel is the active window, while the picture is full screen (the overlay
// has the keyboard) and while the picture has the focus (a click on it gives it). A key goes
// out exactly as a click on its button: only when the button is enabled, through the button's
// own signals, and a held key repeats at the button's own pace, not at the keyboard's.
class TAVO_ui_remoteKeyboard : public QObject
{
    Q_OBJECT

public:
    struct WindowActions
    {
        // Makes the panel steer the chosen box, loading its remote as the controller switch
        // does but without showing it; false when there is none.
        std::function<bool()> steerChosenBox;
    };

    TAVO_ui_remoteKeyboard(TAVO_ui_controller *panel, QWidget *overlay, QWidget *picture, WindowActions actions,
                           QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(QObject *watched, const QKeyEvent *event);
    bool hasRemote(QObject *watched);
    bool keyReleased(const QKeyEvent *event);
    void letGoOfHeldButtons();
    static quint32 holdingKey(const QKeyEvent *event);

    TAVO_ui_controller *panel;
    QWidget *overlay;
    WindowActions actions;
    QHash<quint32, QPointer<QPushButton>> heldButtons;  // by the key that holds them down
};

#endif
