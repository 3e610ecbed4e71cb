#include "TAVO_ui_recordedBoxes.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_recordedBoxes.h"
#include "TAVO_ui_recordingQuestion.h"
#include "TAVO_ui_serverItem.h"

#include <QTableWidget>

#include <algorithm>

TAVO_ui_recordedBoxes::TAVO_ui_recordedBoxes(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                             TAVO_ui_controller *panel, TAVO_ui_channelTuner *tuner)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , boxes(new TAVO_mgr_recordedBoxes(this))
{
    new TAVO_ui_recordingQuestion(panel, tuner, boxes);
    connect(boxes, &TAVO_mgr_recordedBoxes::changed, this, &TAVO_ui_recordedBoxes::markRows);
    // A box found while it is recorded is marked as its row comes.
    connect(serverList->model(), &QAbstractItemModel::rowsInserted, this, &TAVO_ui_recordedBoxes::markRows,
            Qt::QueuedConnection);
}

// Row i shows registry entry i; every row of the table is a server item.
void TAVO_ui_recordedBoxes::markRows()
{
    const int rows = std::min(serverList->rowCount(), registry->getServerCount());
    for (int row = 0; row < rows; ++row) {
        if (auto *item = static_cast<TAVO_ui_serverItem *>(serverList->item(row, 0)))
            item->setRecordedBy(boxes->recorderOf(registry->getServer(row)->device.UDN));
    }
}
