#ifndef TAVO_UI_RECORDINGMARK_H
#define TAVO_UI_RECORDINGMARK_H

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;
class TAVO_player_recorder;

// Shows a running recording at the right of the status line (its time and size, the file in the
// tool tip), and a recording that could not begin or go on in a message.
class TAVO_ui_recordingMark : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_recordingMark(TAVO_player_recorder *recorder, QStatusBar *statusLine);

private:
    void showProgress(const QString &path, qint64 elapsedMs, qint64 bytes);
    void showFailure(const QString &what, const QString &reason);

    QStatusBar *statusLine;
    QLabel *mark;
};

#endif
