#include "TAVO_upnp_upnpControlPoint.h"

TAVO_upnp_upnpControlPoint::TAVO_upnp_upnpControlPoint(QWidget *parent)
    : QObject(nullptr)
    , parentWidget(parent)
{
}

TAVO_upnp_upnpControlPoint::~TAVO_upnp_upnpControlPoint() = default;

void TAVO_upnp_upnpControlPoint::upnpReflash() {}
