#ifndef TAVO_XML_XMLPARSER_H
#define TAVO_XML_XMLPARSER_H

#include "TAVO_mgr_defaultStructure.h"

#include <memory>

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
    // False when the file could not be read as XML or describes another kind of device:
    // nothing was registered.
    bool parseDeviceDescription(QString *xmlFile, QUrl *url);
    // The UDN of the last device description read, empty before the first.
    QString parsedUdn() const;
    // Fills keys in place from the remote-controller description at xmlFile and returns how
    // many controllers this document supplied (entries 0 to result - 1 of keys.keys); 0 when the
    // file is missing or malformed, which leaves keys as it was.
    int parseRcuXml(QString *xmlFile, TAVO_KEYS *keys);

private:
    QWidget *parentWidget;
    std::unique_ptr<TAVO_SERVER> server;  // the record of the last device description read
    TAVO_mgr_mainManager *mManager = nullptr;
};

#endif
