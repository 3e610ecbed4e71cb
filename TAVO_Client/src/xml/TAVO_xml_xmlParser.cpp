#include "TAVO_xml_xmlParser.h"

#include "TAVO_mgr_mainManager.h"
#include "TAVO_mgr_rcuDescription.h"
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

} // namespace

int TAVO_xml_xmlParser::parseRcuXml(QString *xmlFile, TAVO_KEYS *keys)
{
    QDomDocument document(QStringLiteral("RcuXml"));
    if (!loadDocument(*xmlFile, document))
        return 0;
    return TAVO_mgr_rcuDescription::read(document.documentElement(), *keys, writeDebugLine);
}
