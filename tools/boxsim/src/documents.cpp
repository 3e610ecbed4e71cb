#include "documents.h"

#include "boxConfig.h"

#include <QXmlStreamWriter>
#include <functional>

namespace {

void writeSpecVersion(QXmlStreamWriter &xml)
{
    xml.writeStartElement(QStringLiteral("specVersion"));
    xml.writeTextElement(QStringLiteral("major"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("minor"), QStringLiteral("0"));
    xml.writeEndElement();
}

void writeIconList(QXmlStreamWriter &xml)
{
    xml.writeStartElement(QStringLiteral("iconList"));
    xml.writeStartElement(QStringLiteral("icon"));
    xml.writeTextElement(QStringLiteral("mimetype"), QStringLiteral("image/png"));
    xml.writeTextElement(QStringLiteral("width"), QStringLiteral("48"));
    xml.writeTextElement(QStringLiteral("height"), QStringLiteral("48"));
    xml.writeTextElement(QStringLiteral("depth"), QStringLiteral("24"));
    xml.writeTextElement(QStringLiteral("url"), QStringLiteral("/icon.png"));
    xml.writeEndElement();
    xml.writeEndElement();
}

void writeStreamSource(QXmlStreamWriter &xml, const QString &category, int index, const BoxConfig &box)
{
    xml.writeStartElement(QStringLiteral("streamSource"));
    xml.writeTextElement(QStringLiteral("sourceCategory"), category);
    xml.writeTextElement(QStringLiteral("sourceIndex"), QString::number(index));
    xml.writeTextElement(QStringLiteral("remoteControllerURL"), QStringLiteral("/rcu/") + box.rcuFile);
    xml.writeEndElement();
}

void writeTavoStreamer(QXmlStreamWriter &xml, const BoxConfig &box)
{
    xml.writeStartElement(QStringLiteral("TavoStreamer"));
    xml.writeTextElement(QStringLiteral("streamingPort"), QString::number(box.streamingPort));
    xml.writeTextElement(QStringLiteral("rcuPort"), QString::number(box.rcuPort));
    xml.writeTextElement(QStringLiteral("queryPort"), QString::number(box.queryPort));
    xml.writeTextElement(QStringLiteral("encryption"), box.encryption);
    writeStreamSource(xml, QStringLiteral("HDMI"), 1, box);
    writeStreamSource(xml, QStringLiteral("CVBS"), 2, box);
    xml.writeEndElement();
}

void writeDevice(QXmlStreamWriter &xml, const BoxConfig &box)
{
    xml.writeStartElement(QStringLiteral("device"));
    xml.writeTextElement(QStringLiteral("deviceType"), box.deviceType);
    xml.writeTextElement(QStringLiteral("friendlyName"), box.friendlyName);
    xml.writeTextElement(QStringLiteral("manufacturer"), QStringLiteral("Vornex"));
    xml.writeTextElement(QStringLiteral("manufacturerURL"), QStringLiteral("http://www.vornex.com/"));
    xml.writeTextElement(QStringLiteral("modelDescription"), QStringLiteral("HD streamer box (simulated)"));
    xml.writeTextElement(QStringLiteral("modelName"), QStringLiteral("KLD-450R"));
    xml.writeTextElement(QStringLiteral("modelNumber"), QStringLiteral("450"));
    xml.writeTextElement(QStringLiteral("modelURL"), QStringLiteral("http://www.vornex.com/kld-450r"));
    xml.writeTextElement(QStringLiteral("serialNumber"), box.uuid.left(8).toUpper());
    xml.writeTextElement(QStringLiteral("UDN"), QStringLiteral("uuid:") + box.uuid);
    xml.writeTextElement(QStringLiteral("UPC"), QStringLiteral("000000000000"));
    writeIconList(xml);
    xml.writeTextElement(QStringLiteral("presentationURL"),
                         QStringLiteral("http://%1/").arg(box.address.toString()));
    writeTavoStreamer(xml, box);
    xml.writeEndElement();
}

// "PWR,MENU" padded to 20 bytes: "PWR,MENU,PWR,MENU,PW".
QString paddedKeys(const QString &keys, int bytes)
{
    if (bytes <= 0 || keys.isEmpty())
        return keys;
    const QString unit = keys + QLatin1Char(',');
    return unit.repeated(bytes / unit.size() + 1).left(bytes);
}

void writeController(QXmlStreamWriter &xml, const ControllerConfig &controller, int supportKeysBytes)
{
    xml.writeStartElement(QStringLiteral("remoteController"));
    xml.writeTextElement(QStringLiteral("id"), controller.id);
    xml.writeTextElement(QStringLiteral("name"), controller.name);
    xml.writeTextElement(QStringLiteral("supportKeys"), paddedKeys(controller.supportKeys, supportKeysBytes));
    xml.writeEndElement();
}

// Writes the XML declaration, lets `writeContent` open the document element and fill it, and
// closes whatever is still open.
QByteArray xmlDocument(const std::function<void(QXmlStreamWriter &)> &writeContent)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    writeContent(xml);
    xml.writeEndDocument();
    return document;
}

} // namespace

QByteArray deviceDescription(const BoxConfig &box)
{
    return xmlDocument([&box](QXmlStreamWriter &xml) {
        xml.writeStartElement(QStringLiteral("root"));
        xml.writeDefaultNamespace(QStringLiteral("urn:schemas-upnp-org:device-1-0"));
        writeSpecVersion(xml);
        writeDevice(xml, box);
    });
}

QByteArray remoteControllerDescription(const BoxConfig &box)
{
    return xmlDocument([&box](QXmlStreamWriter &xml) {
        xml.writeStartElement(QStringLiteral("RcuXml"));
        xml.writeAttribute(QStringLiteral("version"), box.rcuVersion);
        xml.writeTextElement(QStringLiteral("totalAmount"), box.totalAmount);
        xml.writeTextElement(QStringLiteral("defaultId"), box.defaultId);
        for (const ControllerConfig &controller : box.controllers)
            writeController(xml, controller, box.supportKeysBytes);
    });
}

QByteArray webPage(const BoxConfig &box)
{
    const QString name = box.friendlyName.toHtmlEscaped();
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                          "<body><h1>%1</h1><p>Streamer box %2 at %3</p></body></html>\n")
        .arg(name, box.uuid.toHtmlEscaped(), box.address.toString())
        .toUtf8();
}

// A few hundred bytes with several 'G's, the byte that starts every transport packet: a reader
// that takes the first 0x47 it meets for the stream reads nonsense.
QByteArray streamErrorPage()
{
    return "<!DOCTYPE html>\n<html><head><title>502 GATEWAY ERROR</title></head>\n"
           "<body><h1>GATEWAY ERROR</h1>\n<p>The encoder is Gone: the stream is not available. Go back and try\n"
           "again later. GET requests are refused until the encoder is up again.</p>\n"
           "<p>GUI: General settings &gt; Streaming &gt; Restart encoder.</p></body></html>\n";
}

QByteArray paddingComment(int bytes)
{
    if (bytes <= 0)
        return {};
    return "<!--" + QByteArray(bytes, ' ') + "-->\n";
}
