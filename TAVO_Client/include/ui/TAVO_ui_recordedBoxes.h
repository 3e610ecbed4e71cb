#ifndef TAVO_UI_RECORDEDBOXES_H
#define TAVO_UI_RECORDEDBOXES_H

#include <QObject>

class QTableWidget;
class TAVO_mgr_mainManager;
class TAVO_mgr_recordedBoxes;
class TAVO_ui_channelTuner;
class TAVO_ui_controller;

// The boxes being recorded, by this window or by a recording command, as the window shows them:
// a mark on their rows, and a question before a key changes what is recorded.
class TAVO_ui_recordedBoxes : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_recordedBoxes(QTableWidget *serverList, TAVO_mgr_mainManager *registry, TAVO_ui_controller *panel,
                          TAVO_ui_channelTuner *tuner);

private:
    void markRows();

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    TAVO_mgr_recordedBoxes *boxes;
};

#endif
