#include "TAVO_ui_fullScreenWidget.h"
#include "ui_TAVO_ui_fullScreenWidget.h"

#include "TAVO_ui_mainWindow.h"
#include "TAVO_ui_windowKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

// Last of all: Xlib's macros (None, Bool, Status, …) would clash with names in Qt's headers.
#include <X11/Xlib.h>

namespace {

// An X server shows window opacity only through a compositing manager, which owns the
// selection _NET_WM_CM_S<screen> while it runs.
bool windowOpacityIgnored()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.constData(), False)) == None;
}

} // namespace

TAVO_ui_fullScreenWidget::TAVO_ui_fullScreenWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TAVO_ui_fullScreenWidget)
{
    ui->setupUi(this);
    initUI();
}

TAVO_ui_fullScreenWidget::~TAVO_ui_fullScreenWidget()
{
    delete ui;
}

void TAVO_ui_fullScreenWidget::setParentWidget(QWidget *parent)
{
    parentWidget = parent;
}

// Practically invisible, so the video beneath stays in sight, yet a window of its own over the
// whole desktop that takes the keyboard while the main window is full screen.
void TAVO_ui_fullScreenWidget::initUI()
{
    setWindowOpacity(0.01);
    setFixedSize(QGuiApplication::primaryScreen()->virtualGeometry().size());
    setWindowFlags(Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
}

// Where opacity is ignored the overlay would hide the video. It then keeps a single pixel of
// its own on screen and holds the keyboard, so F and C still reach it wherever the mouse goes.
void TAVO_ui_fullScreenWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (windowOpacityIgnored())
        setMask(QRegion(0, 0, 1, 1));
    takeKeyboard();
}

void TAVO_ui_fullScreenWidget::takeKeyboard()
{
    activateWindow();
    if (windowOpacityIgnored())
        grabKeyboard();
}

void TAVO_ui_fullScreenWidget::hideEvent(QHideEvent *event)
{
    releaseKeyboard();
    QWidget::hideEvent(event);
}

void TAVO_ui_fullScreenWidget::keyPressEvent(QKeyEvent *event)
{
    auto *window = static_cast<TAVO_ui_mainWindow *>(parentWidget);
    if (!window)
        return;
    if (TAVO_ui_windowKeys::isKeyOf(TAVO_ui_windowKeys::Key::FullScreen, event)) {
        window->setToNormalScreen();
        hide();
    } else if (TAVO_ui_windowKeys::isKeyOf(TAVO_ui_windowKeys::Key::RemotePanel, event)) {
        window->setCtrlSwitch();
    }
}

void TAVO_ui_fullScreenWidget::mouseDoubleClickEvent(QMouseEvent *) {}
void TAVO_ui_fullScreenWidget::keyReleaseEvent(QKeyEvent *) {}
void TAVO_ui_fullScreenWidget::paintEvent(QPaintEvent *) {}
void TAVO_ui_fullScreenWidget::moveEvent(QMoveEvent *event) { event->ignore(); }
void TAVO_ui_fullScreenWidget::resizeEvent(QResizeEvent *event) { event->ignore(); }
void TAVO_ui_fullScreenWidget::closeEvent(QCloseEvent *event) { event->ignore(); }
