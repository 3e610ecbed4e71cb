#include "TAVO_ui_keyboardHelp.h"

#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_keySlots.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QTableWidget *newKeyTable(const QList<QPair<QString, QString>> &rows, const QString &what)
{
    auto *table = new QTableWidget(int(rows.size()), 2);
    table->setHorizontalHeaderLabels({QStringLiteral("Keyboard"), what});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int row = 0; row < rows.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(rows.at(row).first));
        table->setItem(row, 1, new QTableWidgetItem(rows.at(row).second));
    }
    // Every row in sight, no scrolling: the lists are short.
    const int rowHeight = table->fontMetrics().height() + 6;
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    table->resizeColumnsToContents();
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setFixedSize(table->horizontalHeader()->length() + 80 + 2 * table->frameWidth(),
                        table->horizontalHeader()->sizeHint().height() + int(rows.size()) * rowHeight
                            + 2 * table->frameWidth());
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

TAVO_ui_keyboardHelp::TAVO_ui_keyboardHelp(QWidget *panel)
    : QObject(panel)
    , panel(panel)
    , menu(new QMenu(panel))
{
    menu->addAction(QStringLiteral("Keyboard"), this, &TAVO_ui_keyboardHelp::show);
    // A right click lands on a key button, which keeps the request to itself: every part of
    // the panel is watched.
    panel->installEventFilter(this);
    for (QWidget *child : panel->findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool TAVO_ui_keyboardHelp::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched)
    if (event->type() != QEvent::ContextMenu)
        return false;
    menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
}

QList<QPair<QString, QString>> TAVO_ui_keyboardHelp::remoteKeys()
{
    QList<QPair<QString, QString>> rows;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        const QString keys = slot.hasKey() ? TAVO_ui_keyboardMap::keysOf(slot) : QString();
        if (!keys.isEmpty())
            rows.append({keys, QCoreApplication::translate("TAVO_ui_controller", slot.caption)});
    }
    return rows;
}

QList<QPair<QString, QString>> TAVO_ui_keyboardHelp::windowKeys()
{
    return {{QStringLiteral("F"), QStringLiteral("Full screen and back")},
            {QStringLiteral("C"), QStringLiteral("Show or hide the remote panel")},
            {QStringLiteral("Esc"), QStringLiteral("Leave full screen")},
            {QStringLiteral("Return on a box, double click"), QStringLiteral("Play that box")},
            {QStringLiteral("Double click on the picture"), QStringLiteral("Full screen and back")},
            {QStringLiteral("M"), QStringLiteral("The client's sound off and on")},
            {QStringLiteral("Ctrl+Up, Ctrl+Down, wheel on the picture"), QStringLiteral("The client's sound louder, softer")},
            {QStringLiteral("Ctrl+S"), QStringLiteral("Save the picture")},
            {QStringLiteral("Ctrl+R"), QStringLiteral("Record, and stop recording")}};
}

// The keys work while the panel is the active window, in full screen, and after a click on the
// picture; the window says so above the lists.
void TAVO_ui_keyboardHelp::show()
{
    if (!mapWindow) {
        mapWindow = new QWidget(panel, Qt::Window);
        mapWindow->setWindowTitle(QStringLiteral("Keyboard"));
        auto *layout = new QVBoxLayout(mapWindow);
        auto *where = new QLabel(QStringLiteral("These keys press the box's remote while the remote panel is the active "
                                                "window, in full screen, and after a click on the picture:"));
        where->setWordWrap(true);
        where->setMaximumWidth(420);
        layout->addWidget(where);
        layout->addWidget(newKeyTable(remoteKeys(), QStringLiteral("Remote key")));
        layout->addWidget(newKeyTable(windowKeys(), QStringLiteral("In the window")));
        layout->setSizeConstraint(QLayout::SetFixedSize);
    }
    mapWindow->show();
    mapWindow->raise();
    mapWindow->activateWindow();
}
