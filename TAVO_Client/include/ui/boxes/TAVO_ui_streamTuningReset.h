#ifndef TAVO_UI_STREAMTUNINGRESET_H
#define TAVO_UI_STREAMTUNINGRESET_H

#include <QObject>

class QAction;
class QPoint;
class QTableWidget;
class TAVO_mgr_mainManager;
class TAVO_player_restartOwner;

// "Reset stream tuning of <box>" in the box list's context menu: the stream restartOwner forgets what
// it learnt of the box under the pointer (its longer cache, where its starts settled), so that
// its next start is tuned from the beginning.
class TAVO_ui_streamTuningReset : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_streamTuningReset(QTableWidget *serverList, TAVO_mgr_mainManager *registry, TAVO_player_restartOwner *restartOwner);

private:
    void aimAt(const QPoint &position);
    void reset();

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    TAVO_player_restartOwner *restartOwner;
    QAction *entry;
    // The row the menu was opened on; -1 when none.
    int row = -1;
};

#endif
