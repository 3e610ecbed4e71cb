#include "TAVO_xml_xmlParser.h"

#include "TAVO_mgr_mainManager.h"
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

template <typename Record>
struct TextField
{
    const char *name;
    QString Record::*member;
};

const TextField<SPEC_VERSION> specVersionFields[] = {
    {"major", &SPEC_VERSION::major},
    {"minor", &SPEC_VERSION::minor},
};

const TextField<DEVICE> deviceFields[] = {
    {"deviceType", &DEVICE::deviceType},
    {"friendlyName", &DEVICE::friendlyName},
    {"manufacturer", &DEVICE::manufacturer},
    {"manufacturerURL", &DEVICE::manufacturerURL},
    {"modelDescription", &DEVICE::modelDescription},
    {"modelName", &DEVICE::modelName},
    {"modelNumber", &DEVICE::modelNumber},
    {"modelURL", &DEVICE::modelURL},
    {"serialNumber", &DEVICE::serialNumber},
    {"UPC", &DEVICE::UPC},
};

const TextField<ICON> iconFields[] = {
    {"mimetype", &ICON::mimetype},
    {"width", &ICON::width},
    {"height", &ICON::height},
    {"depth", &ICON::depth},
    {"url", &ICON::url},
};

const TextField<TAVOSTREAMER> streamerFields[] = {
    {"streamingPort", &TAVOSTREAMER::streamingPort},
    {"rcuPort", &TAVOSTREAMER::rcuPort},
    {"queryPort", &TAVOSTREAMER::queryPort},
    {"encryption", &TAVOSTREAMER::encryption},
};

const TextField<STREAME_RSOURCE> streamSourceFields[] = {
    {"sourceCategory", &STREAME_RSOURCE::sourceName},
    {"sourceIndex", &STREAME_RSOURCE::sourceIndex},
    {"remoteControllerURL", &STREAME_RSOURCE::remoteControllerURL},
};

// A UPnP UDN is "uuid:" followed by the UUID; the record keeps the UUID alone.
constexpr int udnPrefixLength = 5;

template <typename Visit>
void forEachChildElement(const QDomElement &parent, Visit visit)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        visit(child);
}

bool hasName(const QDomElement &element, const char *name)
{
    return element.tagName() == QLatin1String(name);
}

// Values are taken verbatim: a box's friendly name keeps its spaces and line breaks.
template <typename Record, std::size_t count>
bool assignTextField(const QDomElement &element, Record &record, const TextField<Record> (&fields)[count])
{
    for (const TextField<Record> &field : fields) {
        if (hasName(element, field.name)) {
            record.*field.member = element.text();
            return true;
        }
    }
    return false;
}

template <typename Record, std::size_t count>
void readTextFields(const QDomElement &parent, Record &record, const TextField<Record> (&fields)[count])
{
    forEachChildElement(parent, [&](const QDomElement &child) { assignTextField(child, record, fields); });
}

// Every icon writes into the one icon record: a later icon overwrites only the fields it has.
void readIconList(const QDomElement &iconList, ICON &icon)
{
    forEachChildElement(iconList, [&](const QDomElement &child) {
        if (hasName(child, "icon"))
            readTextFields(child, icon, iconFields);
    });
}

// The record has room for two stream sources; a box that lists more gets the first two kept.
void readTavoStreamer(const QDomElement &tavoStreamer, TAVOSTREAMER &streamer)
{
    int source = -1;
    forEachChildElement(tavoStreamer, [&](const QDomElement &child) {
        if (assignTextField(child, streamer, streamerFields) || !hasName(child, "streamSource"))
            return;
        ++source;
        if (source < TAVOSTREAMER::sourceCount)
            readTextFields(child, streamer.streamerSource[source], streamSourceFields);
    });
}

void readDeviceElement(const QDomElement &element, TAVO_SERVER &record)
{
    if (assignTextField(element, record.device, deviceFields))
        return;
    if (hasName(element, "UDN"))
        record.device.UDN = element.text().mid(udnPrefixLength);
    else if (hasName(element, "iconList"))
        readIconList(element, record.icon);
    else if (hasName(element, "presentationURL"))
        record.presentationURL = element.text();
    else if (hasName(element, "TavoStreamer"))
        readTavoStreamer(element, record.tavoStreamer);
}

void readDeviceDescription(const QDomElement &root, TAVO_SERVER &record)
{
    forEachChildElement(root, [&](const QDomElement &child) {
        if (hasName(child, "specVersion"))
            readTextFields(child, record.specVersion, specVersionFields);
        else if (hasName(child, "device"))
            forEachChildElement(child, [&](const QDomElement &element) { readDeviceElement(element, record); });
    });
}

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
    readDeviceDescription(document.documentElement(), *server);
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
