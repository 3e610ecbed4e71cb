#ifndef TAVO_UI_WINDOWNAMES_H
#define TAVO_UI_WINDOWNAMES_H

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

// The titles of the client's windows beside the main one, after the box each shows, so that a
// task switcher tells them apart: "Living Room — web page". The main window keeps its own.
class TAVO_ui_windowNames : public QObject
{
    Q_OBJECT

public:
    // `what` the window shows of the box called `boxName`, or `what` alone when no box is named.
    static QString title(const QString &boxName, const QString &what);

    // Names the full-screen overlay, each time it is shown, after the box `shownBox` gives.
    TAVO_ui_windowNames(QWidget *fullScreenOverlay, std::function<QString()> shownBox);

private:
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::function<QString()> shownBox;
};

#endif
