#pragma once

#include <QString>
#include <QStringList>

class QPushButton;
class QWidget;
class TAVO_ui_mainWindow;

// Finding and using the parts of the client's windows the way a person does: rows by their
// text, buttons by their caption, the panel's keys by their key name.
namespace TAVO_test_clientWindow {

QStringList rowTexts(TAVO_ui_mainWindow *window);
// Waits until a row with exactly this text is listed.
bool waitForRow(TAVO_ui_mainWindow *window, const QString &text, int timeoutMs = 15000);
// Clicks the one row with exactly this text; false when there is not exactly one.
bool clickRow(TAVO_ui_mainWindow *window, const QString &text);
// The window's push button with this caption ("Start", "Stop", "Controller", "WebUI").
QPushButton *button(TAVO_ui_mainWindow *window, const QString &caption);
// The top-level widget of this class ("TAVO_ui_controller", "QWebEngineView"), or null.
QWidget *topLevelOfClass(const char *className);
// The controller panel's button for this key name ("PWR").
QPushButton *keyButton(QWidget *panel, const char *keyName);

} // namespace TAVO_test_clientWindow
