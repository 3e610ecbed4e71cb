#ifndef TAVO_UI_BOXSTREAMSETTINGS_H
#define TAVO_UI_BOXSTREAMSETTINGS_H

#include <QObject>

#include <functional>

class QAction;
class QPoint;
class QTableWidget;
class QWidget;
class TAVO_mgr_mainManager;
class TAVO_ui_streamSettings;

// "Stream settings of <box>…" in the box list's context menu: a small dialog shows the window's
// stream setting selectors with what is remembered for the box under the pointer, and keeps
// what the user chooses for the box's next stream requests. A stream that plays or is recorded
// keeps the settings it was asked with: its request is not made again while it runs.
class TAVO_ui_boxStreamSettings : public QObject
{
    Q_OBJECT

public:
    // `restoreSelectors` gives the selectors back the state the window keeps them in (disabled
    // while a stream plays) once the dialog, where they can always be changed, closes.
    TAVO_ui_boxStreamSettings(QTableWidget *serverList, TAVO_mgr_mainManager *registry,
                              TAVO_ui_streamSettings *selectors, std::function<void()> restoreSelectors);

private:
    void aimAt(const QPoint &position);
    void openDialog();

    QTableWidget *serverList;
    TAVO_mgr_mainManager *registry;
    TAVO_ui_streamSettings *selectors;
    std::function<void()> restoreSelectors;
    QAction *entry;
    // The row the menu was opened on; -1 when none.
    int row = -1;
};

#endif
