#ifndef TAVO_XML_XMLPARSER_H
#define TAVO_XML_XMLPARSER_H

#include "TAVO_mgr_defaultStructure.h"

class QUrl;
class QWidget;
class TAVO_mgr_mainManager;

// Reads the two XML documents of a box: its device description and its remote-controller
// description.
class TAVO_xml_xmlParser
{
public:
    explicit TAVO_xml_xmlParser(QWidget *parent);

    void setManager(TAVO_mgr_mainManager *manager);
    void parseDeviceDescription(QString *xmlFile, QUrl *url);
    void parseRcuXml(QString *xmlFile, TAVO_KEYS *keys);

private:
    QWidget *parentWidget;
    TAVO_SERVER *server = nullptr;
    TAVO_mgr_mainManager *mManager = nullptr;
};

#endif
