#include "TAVO_ui_boxListMarks.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_ui_serverItem.h"

#include <QLabel>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>

TAVO_ui_boxListMarks::TAVO_ui_boxListMarks(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                           QStatusBar *statusLine)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , boxCount(new QLabel)
{
    boxCount->setTextFormat(Qt::PlainText);
    statusLine->addPermanentWidget(boxCount);
    showBoxCount();
}

void TAVO_ui_boxListMarks::showBoxCount()
{
    const int rows = serverList->rowCount();
    if (rows == 0) {
        boxCount->setText(QStringLiteral("Searching for boxes…"));
        return;
    }
    int silent = 0;
    for (int row = 0; row < rows; ++row) {
        if (item(row) && !item(row)->isAnswering())
            ++silent;
    }
    QString text = rows == 1 ? QStringLiteral("1 box listed") : QStringLiteral("%1 boxes listed").arg(rows);
    if (silent > 0)
        text += QStringLiteral(", %1 not answering").arg(silent);
    boxCount->setText(text);
}

void TAVO_ui_boxListMarks::showBoxAnswering(const QString &udn, bool answering)
{
    const int row = rowOf(udn);
    if (row < 0)
        return;
    item(row)->setAnswering(answering);
    showBoxCount();
}

void TAVO_ui_boxListMarks::markPlaying(const QString &udn)
{
    const int playingRow = udn.isEmpty() ? -1 : rowOf(udn);
    for (int row = 0; row < serverList->rowCount(); ++row) {
        if (TAVO_ui_serverItem *rowItem = item(row))
            rowItem->setPlaying(row == playingRow);
    }
}

int TAVO_ui_boxListMarks::rowOf(const QString &udn) const
{
    const int rows = std::min(serverList->rowCount(), registry->getServerCount());
    for (int row = 0; row < rows; ++row) {
        if (registry->getServer(row)->device.UDN == udn)
            return row;
    }
    return -1;
}

// Every row of the table is a server item.
TAVO_ui_serverItem *TAVO_ui_boxListMarks::item(int row) const
{
    return static_cast<TAVO_ui_serverItem *>(serverList->item(row, 0));
}
