#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <Qt>

class QAction;
class QMenu;
class QPushButton;
class QSplitter;
class QTableWidgetItem;
class QWidget;
class TAVO_ui_fullScreenWidget;

// Finds the parts of the client's main window that tests press and look at.
namespace TAVO_test_windowParts {

QPushButton *button(QWidget *window, const QString &text);
// The vertical splitter holds the video area over the buttons; the horizontal one holds the
// server pane beside them.
QSplitter *splitter(QWidget *window, Qt::Orientation orientation);
// The full-screen overlay: a top-level window of its own.
TAVO_ui_fullScreenWidget *fullScreenOverlay();
// Clicks the server table's row with this text; false when there is no such single row.
bool clickServerRow(QWidget *window, const QString &rowText);
QStringList rowTexts(QWidget *window);
// The server table's row with exactly this text, or null.
QTableWidgetItem *serverRow(QWidget *window, const QString &rowText);
// A row's tool tip as the user reads it (it is written as markup).
QString toolTipText(const QTableWidgetItem *item);
// The status line: its message, and the number of boxes at its right end.
QString statusMessage(QWidget *window);
QString boxCountText(QWidget *window);
// Waits until a row with exactly this text is listed.
bool waitForRow(QWidget *window, const QString &text, int timeoutMs = 15000);
// The top-level widget of this class ("TAVO_ui_controller", "QWebEngineView"), or null.
QWidget *topLevelOfClass(const char *className);
// Right-clicks the server table (a real click on the X display) and gives the context menu that opens, or null.
QMenu *openServerListMenu(QWidget *window);
// Right-clicks the widget at `at` (a real click on the X display) and gives the menu that opens, or null.
QMenu *openContextMenu(QWidget *widget, const QPoint &at);
// The entry of a menu with exactly this text, or null.
QAction *menuAction(const QMenu *menu, const QString &text);
// The controller panel's button for this key name ("PWR").
QPushButton *keyButton(const QWidget *panel, const char *keyName);
// Whether the X screen shows the widget as the widget draws itself, but for the part `apart`
// (in screen coordinates): painted, and covered by no other window. Nine in ten pixels of a grid
// must agree.
bool shownOnScreen(QWidget *widget, const QRect &apart = QRect());
// Waits until the screen shows it so: a window's pixels reach the screen a while after the
// window is exposed (before a screenshot, say).
bool waitUntilShown(QWidget *widget, int timeoutMs = 5000);

} // namespace TAVO_test_windowParts
