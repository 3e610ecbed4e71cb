#include "TAVO_xml_xmlParser.h"

#include "TAVO_mgr_mainManager.h"

TAVO_xml_xmlParser::TAVO_xml_xmlParser(QWidget *parent)
    : parentWidget(parent)
{
}

void TAVO_xml_xmlParser::setManager(TAVO_mgr_mainManager *manager)
{
    mManager = manager;
}

void TAVO_xml_xmlParser::parseDeviceDescription(QString *, QUrl *) {}

void TAVO_xml_xmlParser::parseRcuXml(QString *, TAVO_KEYS *) {}
