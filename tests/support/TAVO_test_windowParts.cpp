#include "TAVO_test_windowParts.h"

#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_keySlots.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTextDocumentFragment>

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
    table->scrollToItem(found.first());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(found.first()).center());
    return table->currentRow() == found.first()->row();
}

QTableWidgetItem *serverRow(QWidget *window, const QString &rowText)
{
    auto *table = window->findChild<QTableWidget *>();
    const QList<QTableWidgetItem *> found = table->findItems(rowText, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

QString toolTipText(const QTableWidgetItem *item)
{
    return QTextDocumentFragment::fromHtml(item->toolTip()).toPlainText();
}

QString statusMessage(QWidget *window)
{
    auto *statusBar = window->findChild<QStatusBar *>();
    return statusBar ? statusBar->currentMessage() : QString();
}

QString boxCountText(QWidget *window)
{
    auto *statusBar = window->findChild<QStatusBar *>();
    auto *count = statusBar ? statusBar->findChild<QLabel *>() : nullptr;
    return count ? count->text() : QString();
}

QStringList rowTexts(QWidget *window)
{
    auto *table = window->findChild<QTableWidget *>();
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, 0) ? table->item(row, 0)->text() : QString());
    return texts;
}

bool waitForRow(QWidget *window, const QString &text, int timeoutMs)
{
    return QTest::qWaitFor([&] { return rowTexts(window).contains(text); }, timeoutMs);
}

QWidget *topLevelOfClass(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    }
    return nullptr;
}

QPushButton *keyButton(const QWidget *panel, const char *keyName)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey() && qstrcmp(slot.keyName, keyName) == 0)
            return panel->findChild<QPushButton *>(slot.objectName());
    }
    return nullptr;
}

} // namespace TAVO_test_windowParts
