#include "TAVO_test_windowParts.h"

#include "TAVO_test_desktop.h"

#include "TAVO_ui_fullScreenWidget.h"
#include "TAVO_ui_keySlots.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
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

QMenu *openServerListMenu(QWidget *window)
{
    return openContextMenu(window->findChild<QTableWidget *>()->viewport(), QPoint(20, 10));
}

QMenu *openContextMenu(QWidget *widget, const QPoint &at)
{
    // A real click of the X server's right button: the menu must open the way a user opens it.
    // Right after another popup closed, Qt may take a click for the end of that one, so it is
    // given another try.
    const QPoint where = widget->mapToGlobal(at);
    QMenu *menu = nullptr;
    for (int attempt = 0; attempt < 3 && !menu; ++attempt) {
        TAVO_test_desktop::run(QStringLiteral("xdotool"),
                               {QStringLiteral("mousemove"), QString::number(where.x()), QString::number(where.y() + attempt),
                                QStringLiteral("click"), QStringLiteral("3")});
        static_cast<void>(QTest::qWaitFor([&menu] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); }, 1000));
    }
    return menu;
}

QAction *menuAction(const QMenu *menu, const QString &text)
{
    const QList<QAction *> actions = menu->actions();
    const auto found = std::find_if(actions.begin(), actions.end(), [&text](QAction *action) { return action->text() == text; });
    return found == actions.end() ? nullptr : *found;
}

QPushButton *keyButton(const QWidget *panel, const char *keyName)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey() && qstrcmp(slot.keyName, keyName) == 0)
            return panel->findChild<QPushButton *>(slot.objectName());
    }
    return nullptr;
}

bool shownOnScreen(QWidget *widget, const QRect &apart)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const QImage screen = QGuiApplication::primaryScreen()
                              ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    const QImage drawn = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (screen.size() != drawn.size())
        return false;
    int same = 0;
    int all = 0;
    for (int y = 0; y < screen.height(); y += 8) {
        for (int x = 0; x < screen.width(); x += 8) {
            if (apart.contains(origin + QPoint(x, y)))
                continue;
            ++all;
            if (qAbs(qGray(screen.pixel(x, y)) - qGray(drawn.pixel(x, y))) < 24)
                ++same;
        }
    }
    return all > 0 && same > all * 0.9;
}

bool waitUntilShown(QWidget *widget, int timeoutMs)
{
    return QTest::qWaitFor([widget] { return shownOnScreen(widget); }, timeoutMs);
}

} // namespace TAVO_test_windowParts
