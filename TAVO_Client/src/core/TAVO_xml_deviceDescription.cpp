#include "TAVO_xml_deviceDescription.h"

#include <QDomElement>

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

} // namespace

void TAVO_xml_deviceDescription::read(const QDomElement &root, TAVO_SERVER &record)
{
    forEachChildElement(root, [&](const QDomElement &child) {
        if (hasName(child, "specVersion"))
            readTextFields(child, record.specVersion, specVersionFields);
        else if (hasName(child, "device"))
            forEachChildElement(child, [&](const QDomElement &element) { readDeviceElement(element, record); });
    });
}
