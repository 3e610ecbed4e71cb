#ifndef TAVO_UI_BOXLISTMARKS_H
#define TAVO_UI_BOXLISTMARKS_H

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;
class QTableWidget;
class TAVO_mgr_mainManager;
class TAVO_ui_serverItem;

// What the box list shows beside the boxes' names: the count of boxes (and of those not
// answering) at the right of the status line, the greyed rows of boxes that left, and the bold
// row of the box that plays.
class TAVO_ui_boxListMarks : public QObject
{
    Q_OBJECT

public:
    TAVO_ui_boxListMarks(QTableWidget *serverList, TAVO_mgr_mainManager *registry, QStatusBar *statusLine);

    void showBoxCount();
    void showBoxAnswering(const QString &udn, bool answering);
    // Marks the row of `udn` as the one playing; an empty UDN marks none.
    void markPlaying(const QString &udn);

private:
    // Row i shows registry entry i; a box still being described has no row yet.
    int rowOf(const QString &udn) const;
    TAVO_ui_serverItem *item(int row) const;

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    QLabel *boxCount;
};

#endif
