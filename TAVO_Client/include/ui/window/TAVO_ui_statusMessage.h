#ifndef TAVO_UI_STATUSMESSAGE_H
#define TAVO_UI_STATUSMESSAGE_H

#include <QString>
#include <QWidget>

class QLabel;
class QStatusBar;
class QTimer;
class QToolButton;

// The status line's message, in the room that the fixed widgets at its right leave. The status
// bar still keeps the message (showMessage, currentMessage, messageChanged); this widget takes
// the place where the bar would draw it. A message that names a kept file (a picture, a
// recording) gives up the file's folder before any of the file's name, and offers to open that
// folder; the tool tip holds the whole text. A message is read and gone: it leaves the line after
// a while (what lasts is a notice). Lasting notices at the right of the line keep to their
// headline, so that they leave the message its room.
class TAVO_ui_statusMessage : public QWidget
{
    Q_OBJECT

public:
    // Long enough to read the longest message (a recording's file) twice.
    static constexpr int shownMs = 15000;
    // A box's name that filled the screen would fill the tool tip too.
    static constexpr int toolTipChars = 1000;

    explicit TAVO_ui_statusMessage(QStatusBar *statusLine);

    // A notice that stays for the rest of the run, "headline: what follows from it": the
    // headline at the right of the line, the whole in its tool tip.
    void addNotice(const QString &notice);
    // The notice no longer holds: it leaves the line.
    void removeNotice(const QString &notice);

    // A message that no longer holds leaves the status line, if it still shows it, for what
    // still holds (`now`, empty for nothing).
    void revise(const QString &said, const QString &now);

private:
    void showMessage(const QString &message);
    void fit();
    void openFolder();
    bool eventFilter(QObject *watched, QEvent *event) override;

    QStatusBar *statusLine;
    QLabel *text;
    QToolButton *folderButton;
    QTimer *shownTimer;
    QString keptFile;  // the kept file the message names; empty when it names none
};

#endif
