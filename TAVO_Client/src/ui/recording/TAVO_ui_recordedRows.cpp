#include "TAVO_ui_recordedRows.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_recordedBoxes.h"
#include "TAVO_ui_recordingQuestion.h"
#include "TAVO_ui_serverItem.h"
#include "TAVO_ui_shortText.h"

#include <QTableWidget>

#include <algorithm>
#include <utility>

TAVO_ui_recordedRows::TAVO_ui_recordedRows(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                           TAVO_ui_controller *panel, TAVO_ui_channelSwitcher *switcher)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , boxes(new TAVO_mgr_recordedBoxes(this))
{
    new TAVO_ui_recordingQuestion(panel, switcher, boxes);
    connect(boxes, &TAVO_mgr_recordedBoxes::changed, this, &TAVO_ui_recordedRows::markRows);
    connect(boxes, &TAVO_mgr_recordedBoxes::changed, this, &TAVO_ui_recordedRows::sayWhoElseRecords);
    // A box found while it is recorded is marked as its row comes.
    connect(serverList->model(), &QAbstractItemModel::rowsInserted, this, &TAVO_ui_recordedRows::markRows,
            Qt::QueuedConnection);
}

// Row i shows registry entry i; every row of the table is a server item.
void TAVO_ui_recordedRows::markRows()
{
    const int rows = std::min(serverList->rowCount(), registry->getServerCount());
    for (int row = 0; row < rows; ++row) {
        if (auto *item = static_cast<TAVO_ui_serverItem *>(serverList->item(row, 0)))
            item->setRecordedBy(boxes->recorderOf(registry->getServer(row)->device.UDN));
    }
}

void TAVO_ui_recordedRows::windowRecords(const QString &udn, const QString &name)
{
    recordedUdn = udn;
    recordedName = TAVO_ui_shortText::bounded(name, TAVO_ui_shortText::nameChars);
    // As the locks are now: the window has just taken the box's lock, or found it held.
    boxes->probe();
    sayWhoElseRecords();
}

void TAVO_ui_recordedRows::sayWhoElseRecords()
{
    const QString other = recordedUdn.isEmpty() ? QString()
                                                : TAVO_ui_shortText::bounded(boxes->otherRecorderOf(recordedUdn),
                                                                             TAVO_ui_shortText::nameChars);
    const QString now = other.isEmpty() ? QString() : tr("%1 is also being recorded by %2").arg(recordedName, other);
    if (now == alsoSaid)
        return;
    if (!alsoSaid.isEmpty())
        Q_EMIT alsoRecordedNoMore(std::exchange(alsoSaid, QString()));
    alsoSaid = now;
    if (!now.isEmpty())
        Q_EMIT alsoRecorded(now);
}
