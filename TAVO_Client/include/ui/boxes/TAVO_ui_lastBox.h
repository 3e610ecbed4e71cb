#ifndef TAVO_UI_LASTBOX_H
#define TAVO_UI_LASTBOX_H

#include <QObject>

class QAbstractButton;
class QTableWidget;
class TAVO_mgr_mainManager;

// The box chosen last: when it is listed again at the next start, before the user has chosen
// another, it is chosen as a click on its row would choose it, and with the preference "Play
// the last box at start" (the box list's context menu; off by default) its stream starts too.
class TAVO_ui_lastBox : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_lastBox(QTableWidget *serverList, TAVO_mgr_mainManager *registry, QAbstractButton *startButton);

private:
    void remember(int row);
    void chooseIfLast(int first, int last);

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    QAbstractButton *startButton;
    bool chosen = false;  // a box has been chosen in this run: the remembered one no longer counts
};

#endif
