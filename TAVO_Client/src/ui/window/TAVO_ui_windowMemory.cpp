#include "TAVO_ui_windowMemory.h"

#include "TAVO_mgr_clientSettings.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_panelPlace.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

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
    else if (watched == window && type == QEvent::WindowStateChange)
        windowStateChanged(static_cast<QWindowStateChangeEvent *>(event)->oldState());
    else if (watched == window && type == QEvent::Close)
        saveWindow();
    else if (watched == panel && type == QEvent::Show)
        panelShown();
    else if (watched == panel && type == QEvent::Move && panel->isVisible())
        panelSave.start();
    return QObject::eventFilter(watched, event);
}

// Entering full screen, the window still has its normal frame: the panel keeps standing beside
// that. Over the full-screen picture the panel had a passing place: back in the window it stands
// where it stood before, placed at once, before the window manager gives the window its size back.
void TAVO_ui_windowMemory::windowStateChanged(Qt::WindowStates oldState)
{
    const bool wasFullScreen = oldState & Qt::WindowFullScreen;
    if (!wasFullScreen && window->isFullScreen())
        noteNormalFrame();
    else if (wasFullScreen && !window->isFullScreen() && panel->isVisible())
        placePanel();
}

void TAVO_ui_windowMemory::panelShown()
{
    if (!window->isFullScreen())
        noteNormalFrame();
    placePanel();
}

// As the window manager draws it now (Qt's own idea of a frame lags behind the window manager).
void TAVO_ui_windowMemory::noteNormalFrame()
{
    QWindow *handle = window->windowHandle();
    normalFrame = handle ? handle->frameGeometry() : window->frameGeometry();
    normalFrameMargins = handle ? handle->frameMargins() : QMargins();
}

// Where the user left it, as long as that place is still on a screen, else beside the window;
// in full screen too, where the panel then stands over the picture.
void TAVO_ui_windowMemory::placePanel()
{
    const QMargins margins = panelFrameMargins();
    const QSize frame = panel->size().grownBy(margins);
    const std::optional<QPoint> remembered = TAVO_mgr_clientSettings::remotePanelPosition();
    const QRect there = remembered ? QRect(*remembered, frame) : QRect();
    if (QScreen *screen = remembered ? QGuiApplication::screenAt(there.center()) : nullptr) {
        placedAt = TAVO_ui_panelPlace::onScreen(there, screen->availableGeometry());
    } else {
        QScreen *windowScreen = QGuiApplication::screenAt(normalFrame.center());
        placedAt = TAVO_ui_panelPlace::besideWindow(
            normalFrame, frame, (windowScreen ? windowScreen : window->screen())->availableGeometry());
    }
    // Moved by its frame, a window whose frame Qt does not know yet (not shown since it was
    // hidden) would be placed by its inside, its title bar above the place: the inside is placed.
    panel->setGeometry(QRect(placedAt, frame).marginsRemoved(margins));
}

// The panel's frame as the window manager last drew it; before that, as it draws the main
// window's.
QMargins TAVO_ui_windowMemory::panelFrameMargins() const
{
    const QRect frame = panel->frameGeometry();
    const QRect inside = panel->geometry();
    const QMargins own(inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
                       frame.bottom() - inside.bottom());
    return own.isNull() ? normalFrameMargins : own;
}

// Only a place the user gave the panel beside the normal window is kept: not its passing place
// over the full-screen picture, nor one the client gave it.
void TAVO_ui_windowMemory::savePanelPosition()
{
    if (panel->isVisible() && !window->isFullScreen() && panel->pos() != placedAt)
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
