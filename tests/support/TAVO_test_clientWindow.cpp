#include "TAVO_test_clientWindow.h"

#include "TAVO_ui_keySlots.h"
#include "TAVO_ui_mainWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace TAVO_test_clientWindow {

QStringList rowTexts(TAVO_ui_mainWindow *window)
{
    auto *table = window->findChild<QTableWidget *>();
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, 0) ? table->item(row, 0)->text() : QString());
    return texts;
}

bool waitForRow(TAVO_ui_mainWindow *window, const QString &text, int timeoutMs)
{
    return QTest::qWaitFor([&] { return rowTexts(window).contains(text); }, timeoutMs);
}

bool clickRow(TAVO_ui_mainWindow *window, const QString &text)
{
    auto *table = window->findChild<QTableWidget *>();
    const QList<QTableWidgetItem *> items = table->findItems(text, Qt::MatchExactly);
    if (items.size() != 1)
        return false;
    table->scrollToItem(items.first());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(items.first()).center());
    return table->currentRow() == items.first()->row();
}

QPushButton *button(TAVO_ui_mainWindow *window, const QString &caption)
{
    for (QPushButton *candidate : window->findChildren<QPushButton *>()) {
        if (candidate->text() == caption)
            return candidate;
    }
    return nullptr;
}

QWidget *topLevelOfClass(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    }
    return nullptr;
}

QPushButton *keyButton(QWidget *panel, const char *keyName)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey() && qstrcmp(slot.keyName, keyName) == 0)
            return panel->findChild<QPushButton *>(slot.objectName());
    }
    return nullptr;
}

} // namespace TAVO_test_clientWindow
