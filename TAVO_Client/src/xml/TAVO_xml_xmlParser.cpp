#include "TAVO_xml_xmlParser.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_xml_deviceDescription.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_upnp_upnpControlPoint.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QLoggingCategory>
#include <QUrl>

Q_LOGGING_CATEGORY(lcParser, "tavo.xml.parser", QtInfoMsg)

TAVO_xml_xmlParser::TAVO_xml_xmlParser(QWidget *parent)
    : parentWidget(parent)
{
}

void TAVO_xml_xmlParser::setManager(TAVO_mgr_mainManager *manager)
{
    mManager = manager;
}

namespace {

bool loadDocument(const QString &path, QDomDocument &document)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && document.setContent(&file, false);
}

} // namespace

bool TAVO_xml_xmlParser::parseDeviceDescription(QString *xmlFile, QUrl *url)
{
    QDomDocument document;
    if (!mManager || !loadDocument(*xmlFile, document))
        return false;
    server = std::make_unique<TAVO_SERVER>();
    TAVO_xml_deviceDescription::read(document.documentElement(), *server);
    // A newer box answers a search for this version as if it were one; its description says
    // what it really is.
    if (server->device.deviceType != TAVO_upnp_upnpControlPoint::streamerDeviceType) {
        qCDebug(lcParser) << "Not a streamer box:" << server->device.deviceType;
        return false;
    }
    server->host = url->host();
    // The downloader fetched a description without a port from port 80, so that is its port.
    server->port = QString::number(url->port(80));

    if (mManager->addServer(*server) == 1) {
        qDebug() << "Server Already Exists";
        return true;
    }
    qDebug() << "Add New Server";
    if (auto *window = qobject_cast<TAVO_ui_mainWindow *>(parentWidget))
        window->addServer(server->device.friendlyName + QLatin1String(" (") + server->host + QLatin1Char(')'));
    qDebug() << "Parsing DeviceDescription Finished";
    return true;
}

QString TAVO_xml_xmlParser::parsedUdn() const
{
    return server ? server->device.UDN : QString();
}

namespace {

void writeDebugLine(const QString &line)
{
    qDebug().noquote() << line;
}

// Every key whose name occurs anywhere in the text is supported; no separator is interpreted,
// so a name that contains another ("VOL_UP" holds "UP") turns both on.
void readSupportKeys(const QString &text, TAVO_KEY &controller)
{
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags) {
        const QString name = QLatin1String(key.name);
        const bool supported = text.contains(name, Qt::CaseSensitive);
        controller.*key.flag = supported;
        if (supported)
            writeDebugLine(name);
    }
}

void readController(const QDomElement &element, TAVO_KEY &controller)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        const QString text = child.text();
        if (name == QLatin1String("id")) {
            writeDebugLine(QLatin1String("id = ") + text);
            controller.keyId = text;
        } else if (name == QLatin1String("name")) {
            writeDebugLine(QLatin1String("name = ") + text);
            controller.keyName = text;
        } else if (name == QLatin1String("supportKeys")) {
            writeDebugLine(QLatin1String("supportKeys = ") + text);
            readSupportKeys(text, controller);
        } else {
            writeDebugLine(name);
        }
    }
}

} // namespace

int TAVO_xml_xmlParser::parseRcuXml(QString *xmlFile, TAVO_KEYS *keys)
{
    QDomDocument document(QStringLiteral("RcuXml"));
    if (!loadDocument(*xmlFile, document))
        return 0;

    const QDomElement root = document.documentElement();
    keys->version = root.attribute(QStringLiteral("version"));
    int controllers = 0;
    for (QDomElement child = root.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        if (name == QLatin1String("totalAmount")) {
            writeDebugLine(QLatin1String("totalAmount = ") + child.text());
            keys->totalAmount = child.text();
        } else if (name == QLatin1String("defaultId")) {
            writeDebugLine(QLatin1String("defaultId = ") + child.text());
            keys->defaultId = child.text();
        } else if (name == QLatin1String("remoteController") && controllers < TAVO_KEYS::maxControllers) {
            // The record has room for ten controllers; later ones are not read at all.
            readController(child, keys->keys[controllers++]);
        }
    }
    return controllers;
}
