#include "TAVO_ui_controller.h"

#include <QUrl>

TAVO_ui_controller::TAVO_ui_controller(QWidget *parent)
    : QWidget(parent)
    , httpRequest(nullptr)
    , url(new QUrl)
    , ui(nullptr)
{
}

TAVO_ui_controller::~TAVO_ui_controller()
{
    delete url;
}

void TAVO_ui_controller::initUI() {}

void TAVO_ui_controller::setParentWidget(QWidget *parent)
{
    parentWidget = parent;
}

void TAVO_ui_controller::setCurrentServer(TAVO_SERVER *currentServer)
{
    server = currentServer;
}

bool TAVO_ui_controller::setXmlPath(QString *xmlPath)
{
    rcuPath = *xmlPath;
    return false;
}
