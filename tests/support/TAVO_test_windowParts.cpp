#include "TAVO_test_windowParts.h"

#include "TAVO_ui_fullScreenWidget.h"

#include <QApplication>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTest>

namespace TAVO_test_windowParts {

QPushButton *button(QWidget *window, const QString &text)
{
    for (QPushButton *candidate : window->findChildren<QPushButton *>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

QSplitter *splitter(QWidget *window, Qt::Orientation orientation)
{
    for (QSplitter *candidate : window->findChildren<QSplitter *>()) {
        if (candidate->orientation() == orientation)
            return candidate;
    }
    return nullptr;
}

TAVO_ui_fullScreenWidget *fullScreenOverlay()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *overlay = qobject_cast<TAVO_ui_fullScreenWidget *>(widget))
            return overlay;
    }
    return nullptr;
}

bool clickServerRow(QWidget *window, const QString &rowText)
{
    auto *table = window->findChild<QTableWidget *>();
    const QList<QTableWidgetItem *> found = table ? table->findItems(rowText, Qt::MatchExactly) : QList<QTableWidgetItem *>();
    if (found.size() != 1)
        return false;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(found.first()).center());
    return table->currentRow() == found.first()->row();
}

} // namespace TAVO_test_windowParts
