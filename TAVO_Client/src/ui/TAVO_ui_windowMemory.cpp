#include "TAVO_ui_windowMemory.h"

#include "TAVO_mgr_clientSettings.h"
#include "TAVO_ui_controller.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

namespace {

constexpr int restMs = 300;
const QString horizontalName = QStringLiteral("horizontal");
const QString verticalName = QStringLiteral("vertical");

} // namespace

TAVO_ui_windowMemory::TAVO_ui_windowMemory(QWidget *window, QSplitter *horizontal, QSplitter *vertical,
                                           TAVO_ui_controller *panel)
    : QObject(window)
    , window(window)
    , horizontal(horizontal)
    , vertical(vertical)
    , panel(panel)
    , controllerList(panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect")))
{
    restoreWindow();
    for (QTimer *timer : {&windowSave, &panelSave}) {
        timer->setSingleShot(true);
        timer->setInterval(restMs);
    }
    connect(&windowSave, &QTimer::timeout, this, &TAVO_ui_windowMemory::saveWindow);
    connect(&panelSave, &QTimer::timeout, this, &TAVO_ui_windowMemory::savePanelPosition);
    connect(horizontal, &QSplitter::splitterMoved, this, &TAVO_ui_windowMemory::saveSplitters);
    connect(vertical, &QSplitter::splitterMoved, this, &TAVO_ui_windowMemory::saveSplitters);
    window->installEventFilter(this);
    panel->installEventFilter(this);
    // A load fills the list and picks the box's default controller; the user's choice for that
    // box replaces it as soon as the load is done.
    connect(controllerList->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!choosingController) {
            choosingController = true;
            QTimer::singleShot(0, this, &TAVO_ui_windowMemory::chooseRememberedController);
        }
    });
    connect(controllerList, &QComboBox::activated, this, &TAVO_ui_windowMemory::rememberController);
}

void TAVO_ui_windowMemory::restoreWindow()
{
    const QByteArray geometry = TAVO_mgr_clientSettings::windowGeometry();
    if (!geometry.isEmpty())
        window->restoreGeometry(geometry);
    horizontal->restoreState(TAVO_mgr_clientSettings::splitterState(horizontalName));
    vertical->restoreState(TAVO_mgr_clientSettings::splitterState(verticalName));
}

// Full screen is a passing state: the normal window is what the next start shows.
void TAVO_ui_windowMemory::saveWindow()
{
    if (!(window->windowState() & Qt::WindowFullScreen))
        TAVO_mgr_clientSettings::setWindowGeometry(window->saveGeometry());
}

void TAVO_ui_windowMemory::saveSplitters()
{
    TAVO_mgr_clientSettings::setSplitterState(horizontalName, horizontal->saveState());
    TAVO_mgr_clientSettings::setSplitterState(verticalName, vertical->saveState());
}

bool TAVO_ui_windowMemory::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == window && (type == QEvent::Move || type == QEvent::Resize))
        windowSave.start();
    else if (watched == window && type == QEvent::Close)
        saveWindow();
    else if (watched == panel && type == QEvent::Show)
        placePanel();
    else if (watched == panel && type == QEvent::Move && panel->isVisible())
        panelSave.start();
    return QObject::eventFilter(watched, event);
}

// Where the user left it, as long as that place is still on a screen.
void TAVO_ui_windowMemory::placePanel()
{
    const std::optional<QPoint> remembered = TAVO_mgr_clientSettings::remotePanelPosition();
    if (remembered && QGuiApplication::screenAt(*remembered + QPoint(panel->width() / 2, 10)))
        panel->move(*remembered);
    else
        placePanelBesideWindow();
}

// To the right of the main window, else to its left; where neither has room, the panel stays
// where the desktop puts it.
void TAVO_ui_windowMemory::placePanelBesideWindow()
{
    const QRect screen = window->screen()->availableGeometry();
    const QRect beside = window->frameGeometry();
    const QSize size = panel->frameGeometry().size();
    int x;
    if (beside.right() + size.width() <= screen.right())
        x = beside.right() + 1;
    else if (beside.left() - size.width() >= screen.left())
        x = beside.left() - size.width();
    else
        return;
    const int y = qMax(screen.top(), qMin(beside.top(), screen.bottom() + 1 - size.height()));
    panel->move(x, y);
}

void TAVO_ui_windowMemory::savePanelPosition()
{
    if (panel->isVisible())
        TAVO_mgr_clientSettings::setRemotePanelPosition(panel->pos());
}

void TAVO_ui_windowMemory::chooseRememberedController()
{
    choosingController = false;
    if (!panel->server)
        return;
    const QString keyId = TAVO_mgr_clientSettings::controllerFor(panel->server->device.UDN);
    for (int index = 0; !keyId.isEmpty() && index < controllerList->count(); ++index) {
        if (panel->keys.keys[index].keyId == keyId) {
            controllerList->setCurrentIndex(index);
            return;
        }
    }
}

void TAVO_ui_windowMemory::rememberController(int index)
{
    if (panel->server && index >= 0 && index < controllerList->count())
        TAVO_mgr_clientSettings::setControllerFor(panel->server->device.UDN, panel->keys.keys[index].keyId);
}
