#ifndef TAVO_UI_CHANNELSWITCHER_H
#define TAVO_UI_CHANNELSWITCHER_H

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QPushButton;
class TAVO_ui_controller;

// Tunes a channel by pressing the remote panel's buttons one after the other, a pause apart,
// so that every key goes out exactly as a click on its button does: the same command, the same
// refusals and messages. Only keys whose button the box's remote enables can be sent.
class TAVO_ui_channelSwitcher : public QObject
{
    Q_OBJECT

public:
    // steerChosenBox makes the panel steer the chosen box (loading its remote); false when none.
    TAVO_ui_channelSwitcher(TAVO_ui_controller *panel, std::function<bool()> steerChosenBox, QObject *parent = nullptr);

    // Starts sending the keys, the first at once; a sequence still under way is dropped. Returns
    // why nothing is sent (no remote, a key the remote lacks, its first key held back), or an
    // empty text.
    QString tune(const QStringList &keys, int pauseMs);
    // A key of the box was held back: the keys still to come of a sequence under way would tune
    // something no one asked for, so they are dropped with it.
    void drop(const QString &reason);
    bool isTuning() const;
    // The panel's button of the key, or nullptr when the panel has none.
    QPushButton *buttonOf(const QString &keyName) const;

Q_SIGNALS:
    // The last key of the sequence was pressed.
    void tuned();
    // A key's button was disabled meanwhile (another remote was chosen); the rest is dropped.
    void interrupted(const QString &reason);

private:
    void pressNext();

    TAVO_ui_controller *panel;
    std::function<bool()> steerChosenBox;
    QList<QPointer<QPushButton>> pending;
    QStringList pendingKeys;
    QTimer pace;
    bool pressing = false;  // a key of the sequence is being pressed
    QString heldBack;       // why the sequence was dropped while pressing
};

#endif
