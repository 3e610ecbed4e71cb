#include "TAVO_ui_fullScreenWidget.h"
#include "ui_TAVO_ui_fullScreenWidget.h"

#include "TAVO_ui_mainWindow.h"

#include <QKeyEvent>

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

void TAVO_ui_fullScreenWidget::initUI() {}

void TAVO_ui_fullScreenWidget::keyPressEvent(QKeyEvent *event)
{
    auto *window = static_cast<TAVO_ui_mainWindow *>(parentWidget);
    if (event->key() == Qt::Key_F) {
        window->setToNormalScreen();
        hide();
    } else if (event->key() == Qt::Key_C) {
        window->setCtrlSwitch();
    }
}

void TAVO_ui_fullScreenWidget::mouseDoubleClickEvent(QMouseEvent *) {}
void TAVO_ui_fullScreenWidget::keyReleaseEvent(QKeyEvent *) {}
void TAVO_ui_fullScreenWidget::paintEvent(QPaintEvent *) {}
void TAVO_ui_fullScreenWidget::moveEvent(QMoveEvent *event) { event->ignore(); }
void TAVO_ui_fullScreenWidget::resizeEvent(QResizeEvent *event) { event->ignore(); }
void TAVO_ui_fullScreenWidget::closeEvent(QCloseEvent *event) { event->ignore(); }
