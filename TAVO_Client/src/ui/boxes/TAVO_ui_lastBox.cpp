#include "TAVO_ui_lastBox.h"

#include "TAVO_mgr_clientSettings.h"
#include "TAVO_mgr_mainManager.h"

#include <QAbstractButton>
#include <QAction>
#include <QTableWidget>
#include <QTimer>

TAVO_ui_lastBox::TAVO_ui_lastBox(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                                 QAbstractButton *startButton)
    : QObject(serverList)
    , serverList(serverList)
    , registry(registry)
    , startButton(startButton)
{
    // The table's context menu shows the actions of the table.
    auto *playAtStart = new QAction(QStringLiteral("Play the last box at start"), serverList);
    playAtStart->setCheckable(true);
    playAtStart->setChecked(TAVO_mgr_clientSettings::playLastBoxAtStart());
    connect(playAtStart, &QAction::toggled, this, &TAVO_mgr_clientSettings::setPlayLastBoxAtStart);
    serverList->addAction(playAtStart);

    connect(serverList, &QTableWidget::cellClicked, this, &TAVO_ui_lastBox::remember);
    // A row is appended before its item is set: the box is looked at once the row is complete.
    connect(serverList->model(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        QTimer::singleShot(0, this, [this, first, last] { chooseIfLast(first, last); });
    });
}

void TAVO_ui_lastBox::remember(int row)
{
    chosen = true;
    if (row >= 0 && row < registry->getServerCount())
        TAVO_mgr_clientSettings::setLastBox(registry->getServer(row)->device.UDN);
}

// The window chooses a box on the table's click signal: the remembered box is chosen through
// that very signal, so that it is chosen exactly as by the user's click.
void TAVO_ui_lastBox::chooseIfLast(int first, int last)
{
    const QString lastBox = TAVO_mgr_clientSettings::lastBox();
    for (int row = first; !chosen && !lastBox.isEmpty() && row <= last && row < registry->getServerCount(); ++row) {
        if (registry->getServer(row)->device.UDN != lastBox)
            continue;
        serverList->setCurrentCell(row, 0);
        Q_EMIT serverList->cellClicked(row, 0);
        if (TAVO_mgr_clientSettings::playLastBoxAtStart())
            startButton->click();
    }
}
