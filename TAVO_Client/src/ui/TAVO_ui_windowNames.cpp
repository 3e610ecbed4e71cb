#include "TAVO_ui_windowNames.h"

#include "TAVO_ui_commandLine.h"

#include <QEvent>
#include <QWidget>

QString TAVO_ui_windowNames::title(const QString &boxName, const QString &what)
{
    const QString shown = boxName.isEmpty() ? TAVO_ui_commandLine::windowTitle : boxName;
    return shown + QStringLiteral(" — ") + what;
}

TAVO_ui_windowNames::TAVO_ui_windowNames(QWidget *fullScreenOverlay, std::function<QString()> shownBox)
    : QObject(fullScreenOverlay)
    , shownBox(std::move(shownBox))
{
    fullScreenOverlay->installEventFilter(this);
}

// The overlay's form calls it "Form"; the box it lies over is known only as it is shown.
bool TAVO_ui_windowNames::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        static_cast<QWidget *>(watched)->setWindowTitle(title(shownBox(), QStringLiteral("full screen")));
    return QObject::eventFilter(watched, event);
}
