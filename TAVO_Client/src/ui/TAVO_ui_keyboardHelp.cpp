#include "TAVO_ui_keyboardHelp.h"

#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_windowKeys.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

namespace {

// Every column in full; the rows scroll when the screen is too low for them all.
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
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->resizeColumnsToContents();
    // Room for the scroll bar, which covers the end of the last column when it is shown.
    table->setColumnWidth(1, table->columnWidth(1) + table->verticalScrollBar()->sizeHint().width());
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setMinimumWidth(table->sizeHint().width());
    return table;
}

// As wide as the list below it.
QLabel *newHeading(const QString &text, const QTableWidget *table)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setMaximumWidth(table->minimumWidth());
    return label;
}

} // namespace

TAVO_ui_keyboardHelp::TAVO_ui_keyboardHelp(QWidget *window, QWidget *panel, QAction *open)
    : QObject(window)
    , window(window)
    , menu(new QMenu(panel))
{
    menu->addAction(open);
    connect(open, &QAction::triggered, this, &TAVO_ui_keyboardHelp::show);
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

// A dialog, so that Escape closes it.
QDialog *TAVO_ui_keyboardHelp::create()
{
    auto *dialog = new QDialog(window);
    dialog->setWindowTitle(QStringLiteral("Keyboard"));
    auto *layout = new QGridLayout(dialog);
    QTableWidget *remoteKeys = newKeyTable(TAVO_ui_keyboardMap::helpRows(), QStringLiteral("Remote key"));
    QTableWidget *windowKeys = newKeyTable(TAVO_ui_windowKeys::helpRows(), QStringLiteral("In the window"));
    layout->addWidget(newHeading(QStringLiteral("These keys press the box's remote while the remote panel is the active "
                                                "window, in full screen, and after a click on the picture:"),
                                 remoteKeys),
                      0, 0);
    layout->addWidget(newHeading(QStringLiteral("The window's own keys:"), windowKeys), 0, 1, Qt::AlignBottom);
    layout->addWidget(remoteKeys, 1, 0);
    layout->addWidget(windowKeys, 1, 1, Qt::AlignTop);
    layout->setRowStretch(1, 1);
    return dialog;
}

// As large as its lists, but no larger than the screen, with room left for the window's frame.
void TAVO_ui_keyboardHelp::fitToScreen()
{
    const QRect room = window->screen()->availableGeometry();
    helpWindow->resize(helpWindow->sizeHint().boundedTo(QSize(room.width() * 9 / 10, room.height() * 9 / 10)));
}

void TAVO_ui_keyboardHelp::show()
{
    if (!helpWindow)
        helpWindow = create();
    if (helpWindow->isHidden())
        fitToScreen();
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
}
