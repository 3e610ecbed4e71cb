#include "TAVO_ui_steeredBoxLabel.h"

#include "TAVO_ui_controller.h"

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

TAVO_ui_steeredBoxLabel::TAVO_ui_steeredBoxLabel(TAVO_ui_controller *panel)
    : QObject(panel)
    , panel(panel)
    , label(new QLabel(panel))
{
    label->setObjectName(QStringLiteral("steeredBox"));
    label->setTextFormat(Qt::PlainText);
    // Below the pages, which keep their place: the panel grows by the line.
    const QRect pages = panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->geometry();
    const int height = label->fontMetrics().height() + 4;
    label->setGeometry(pages.left(), pages.bottom() + 5, pages.width(), height);
    panel->resize(panel->width(), label->geometry().bottom() + 7);
    connect(panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect")), &QComboBox::currentIndexChanged, this,
            &TAVO_ui_steeredBoxLabel::showSteeredBox);
}

void TAVO_ui_steeredBoxLabel::showSteeredBox(int controller)
{
    if (controller < 0 || !panel->server)
        return;
    label->setText(QStringLiteral("Steers %1 (%2)").arg(panel->server->device.friendlyName, panel->server->host));
}
