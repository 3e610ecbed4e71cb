#include "TAVO_ui_streamTuningReset.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_player_restartOwner.h"

#include <QAction>
#include <QTableWidget>

TAVO_ui_streamTuningReset::TAVO_ui_streamTuningReset(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                                     TAVO_player_restartOwner *restartOwner)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , restartOwner(restartOwner)
    , entry(new QAction(QStringLiteral("Reset stream tuning"), serverList))
{
    // The table's context menu shows the actions of the table; the entry names the box that the
    // menu was opened on, whichever row is selected.
    entry->setEnabled(false);
    serverList->addAction(entry);
    connect(serverList, &QWidget::customContextMenuRequested, this, &TAVO_ui_streamTuningReset::aimAt);
    connect(entry, &QAction::triggered, this, &TAVO_ui_streamTuningReset::reset);
}

// The position is the table's viewport's, as the context menu's.
void TAVO_ui_streamTuningReset::aimAt(const QPoint &position)
{
    const int at = serverList->indexAt(position).row();
    row = at >= 0 && at < registry->getServerCount() ? at : -1;
    entry->setEnabled(row >= 0);
    // A menu entry shows the text as it is: "&" would otherwise mark a shortcut letter.
    QString name = row >= 0 ? registry->getServer(row)->device.friendlyName : QString();
    entry->setText(row >= 0 ? QStringLiteral("Reset stream tuning of %1").arg(name.replace(QLatin1Char('&'), QLatin1String("&&")))
                            : QStringLiteral("Reset stream tuning"));
}

void TAVO_ui_streamTuningReset::reset()
{
    if (row < 0 || row >= registry->getServerCount())
        return;
    const TAVO_SERVER *box = registry->getServer(row);
    restartOwner->forget(box->device.UDN, box->device.friendlyName);
}
