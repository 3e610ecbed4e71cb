#ifndef TAVO_UI_RECORDINGQUESTION_H
#define TAVO_UI_RECORDINGQUESTION_H

#include <QHash>
#include <QObject>
#include <QString>

class TAVO_mgr_recordedBoxes;
class TAVO_ui_channelSwitcher;
class TAVO_ui_controller;

// Before the first key that would change what a box being recorded sends (its channel, its power,
// its source), asks whether to go on. Yes lets that key and the rest of the recording's keys go;
// No holds the key back, and drops a channel tune under way as a whole. Every key of the window
// (the panel's clicks, the keyboard's keys, the channel tunes) goes out through the panel's one
// sending path, so the question sits there.
class TAVO_ui_recordingQuestion : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_recordingQuestion(TAVO_ui_controller *panel, TAVO_ui_channelSwitcher *switcher,
                              TAVO_mgr_recordedBoxes *boxes);

    static bool changesWhatIsRecorded(const QString &keyName);

private:
    bool mayGo(const char *keyName);
    bool askToGoOn(const QString &boxName, const QString &recorder);
    void forgetEndedRecordings();

    TAVO_ui_controller *panel;
    TAVO_ui_channelSwitcher *switcher;
    TAVO_mgr_recordedBoxes *boxes;
    QHash<QString, QString> goAhead;  // box UDN -> the recording (its recorder) whose keys may go
    bool asking = false;
};

#endif
