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
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Rows = QList<QPair<QString, QString>>;

// Every row and every column in full: the page scrolls as a whole, never one list beside the other.
QTableWidget *newKeyTable(const Rows &rows, const QString &what)
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
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setFixedSize(table->sizeHint());
    return table;
}

// As wide as the list below it.
QLabel *newHeading(const QString &text, const QTableWidget *table)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setMaximumWidth(table->width());
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

// A dialog, so that Escape closes it. The remote's keys are the longer list: they fill the left
// column and go on at the top of the right one, above the window's own keys, so that the two
// columns end about level.
QDialog *TAVO_ui_keyboardHelp::create()
{
    auto *dialog = new QDialog(window);
    dialog->setWindowTitle(QStringLiteral("Keyboard"));
    const Rows remoteRows = TAVO_ui_keyboardMap::helpRows();
    const Rows windowRows = TAVO_ui_windowKeys::helpRows();
    const qsizetype leftRows = std::min(remoteRows.size(), (remoteRows.size() + windowRows.size() + 1) / 2);
    QTableWidget *remoteKeys = newKeyTable(remoteRows.mid(0, leftRows), QStringLiteral("Remote key"));
    QTableWidget *windowKeys = newKeyTable(windowRows, QStringLiteral("In the window"));

    auto *page = new QWidget;
    auto *layout = new QGridLayout(page);
    layout->addWidget(newHeading(QStringLiteral("These keys press the box's remote while the remote panel is the active "
                                                "window, in full screen, and after a click on the picture:"),
                                 remoteKeys),
                      0, 0);
    layout->addWidget(remoteKeys, 1, 0, 3, 1, Qt::AlignTop);
    if (leftRows < remoteRows.size())
        layout->addWidget(newKeyTable(remoteRows.mid(leftRows), QStringLiteral("Remote key")), 1, 1, Qt::AlignTop);
    layout->addWidget(newHeading(QStringLiteral("The window's own keys:"), windowKeys), 2, 1, Qt::AlignBottom);
    layout->addWidget(windowKeys, 3, 1, Qt::AlignTop);
    layout->setRowStretch(3, 1);

    scrollArea = new QScrollArea;
    scrollArea->setWidget(page);
    scrollArea->setFrameShape(QFrame::NoFrame);
    (new QVBoxLayout(dialog))->addWidget(scrollArea);
    return dialog;
}

// As large as its page, but no larger than the screen, with room left for the window's frame.
void TAVO_ui_keyboardHelp::fitToScreen()
{
    const QRect room = window->screen()->availableGeometry();
    const QMargins margins = helpWindow->layout()->contentsMargins();
    const QSize whole = scrollArea->widget()->sizeHint()
                        + QSize(margins.left() + margins.right() + scrollArea->verticalScrollBar()->sizeHint().width(),
                                margins.top() + margins.bottom());
    helpWindow->resize(whole.boundedTo(QSize(room.width() * 9 / 10, room.height() * 9 / 10)));
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
