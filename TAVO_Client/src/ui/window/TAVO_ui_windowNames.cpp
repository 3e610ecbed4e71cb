#include "TAVO_ui_windowNames.h"

#include "TAVO_ui_shortText.h"

#include <QEvent>
#include <QWidget>

// Never the main window's title, by which it is looked up among the desktop's windows.
QString TAVO_ui_windowNames::title(const QString &boxName, const QString &what)
{
    if (boxName.isEmpty())
        return what.left(1).toUpper() + what.mid(1);
    return TAVO_ui_shortText::bounded(boxName, TAVO_ui_shortText::nameChars) + QStringLiteral(" — ") + what;
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
