#ifndef TAVO_UI_RECORDEDROWS_H
#define TAVO_UI_RECORDEDROWS_H

#include <QObject>
#include <QString>

class QTableWidget;
class TAVO_mgr_mainManager;
class TAVO_mgr_recordedBoxes;
class TAVO_ui_channelSwitcher;
class TAVO_ui_controller;

// The boxes being recorded, by this window or by a recording command, as the window shows them:
// a mark on their rows, a question before a key changes what is recorded, and a lasting word on
// the status line while a command records the box the window records too. The window tunes
// nothing to record and records what plays, so it does not refuse such a box; it says so.
class TAVO_ui_recordedRows : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_recordedRows(QTableWidget *serverList, TAVO_mgr_mainManager *registry, TAVO_ui_controller *panel,
                          TAVO_ui_channelSwitcher *switcher);

    // The window now records the box `udn`, named `name`; an empty `udn` when it records none.
    void windowRecords(const QString &udn, const QString &name);

Q_SIGNALS:
    // "Bedroom is also being recorded by tavo-record (pid 1234) since 21:05:12", and its end.
    void alsoRecorded(const QString &notice);
    void alsoRecordedNoMore(const QString &notice);

private:
    void markRows();
    void sayWhoElseRecords();

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    TAVO_mgr_recordedBoxes *boxes;
    QString recordedUdn;   // the box the window records; empty while it records none
    QString recordedName;
    QString alsoSaid;      // the notice on the status line; empty while there is none
};

#endif
