#include "TAVO_tuner_documents.h"

#include "TAVO_mgr_lineText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QXmlStreamWriter>

#include <utility>

namespace {

QString logoUrl(const QString &base, const TAVO_tuner_box &box, const TAVO_mgr_channel &channel)
{
    return channel.logo.isEmpty() ? QString() : base + QLatin1String("/logo/") + box.id + QLatin1Char('/') + channel.number;
}

QString html(const QString &text)
{
    return TAVO_mgr_lineText::oneLine(text).toHtmlEscaped();
}

QString useOf(const TAVO_tuner_box &box, const QList<TAVO_tuner_boxUse> &uses)
{
    for (const TAVO_tuner_boxUse &use : uses) {
        if (use.boxId != box.id)
            continue;
        const TAVO_mgr_channel *channel = box.list.byNumber(use.number);
        return QStringLiteral("channel %1 %2 since %3 for %4")
            .arg(html(use.number), channel ? html(channel->name) : QString(),
                 use.since.toString(QStringLiteral("HH:mm:ss")),
                 use.viewers.isEmpty() ? QStringLiteral("nobody (kept a moment for a client coming back)")
                                       : html(use.viewers.join(QLatin1String(", "))));
    }
    return QStringLiteral("free");
}

// What a channel's stream is, as HDHomeRun clients read it: HD (1 or 0), VideoCodec ("MPEG2",
// "H264") and AudioCodec ("AAC"), the box's own words for them in capitals.
QJsonObject streamFields(const TAVO_mgr_streamSettings &settings)
{
    using Settings = TAVO_mgr_streamSettings;
    const auto value = [&settings](Settings::Setting setting) {
        return Settings::kinds()[setting].values.at(settings.chosen[setting]).toUpper();
    };
    const QString resolution = settings.item(Settings::Resolution);
    const bool hd = resolution.startsWith(QLatin1String("720")) || resolution.startsWith(QLatin1String("1080"));
    return QJsonObject{{QStringLiteral("HD"), hd ? 1 : 0},
                       {QStringLiteral("VideoCodec"), value(Settings::VideoCodec)},
                       {QStringLiteral("AudioCodec"), value(Settings::AudioCodec)}};
}

// The lineup's entries: each number once, from the first box that has it (TAVO_tuner_lineup::poolFor).
QList<QJsonObject> lineupEntries(const QList<TAVO_tuner_box> &boxes, const QString &base)
{
    QList<QJsonObject> entries;
    QSet<QString> listed;
    for (const TAVO_tuner_box &box : boxes) {
        for (const TAVO_mgr_channel &channel : box.list.channels) {
            if (listed.contains(channel.number))
                continue;
            listed.insert(channel.number);
            QJsonObject entry = streamFields(box.settings);
            entry.insert(QStringLiteral("GuideNumber"), channel.number);
            entry.insert(QStringLiteral("GuideName"), TAVO_mgr_lineText::oneLine(channel.name));
            entry.insert(QStringLiteral("URL"), base + QLatin1String("/auto/v") + channel.number);
            entries.append(entry);
        }
    }
    return entries;
}

} // namespace

QString TAVO_tuner_documents::attribute(const QString &text)
{
    return TAVO_mgr_lineText::oneLine(text).replace(QLatin1Char('"'), QLatin1Char('\''));
}

QString TAVO_tuner_documents::channelUrl(const QString &base, const QString &boxId, const QString &number)
{
    return base + QLatin1String("/channel/") + boxId + QLatin1Char('/') + number;
}

QByteArray TAVO_tuner_documents::playlist(const QList<TAVO_tuner_box> &boxes, const QList<TAVO_tuner_box> &tuners,
                                          const QString &base)
{
    QString text = QStringLiteral("#EXTM3U\n");
    QSet<QString> listed;  // pool and number
    for (const TAVO_tuner_box &box : boxes) {
        QStringList names;
        for (const TAVO_tuner_box &each : boxes) {
            if (each.pool == box.pool)
                names.append(each.name());
        }
        for (const TAVO_mgr_channel &channel : box.list.channels) {
            const QString poolChannel = box.pool + QLatin1Char('/') + channel.number;
            if (listed.contains(poolChannel))
                continue;
            listed.insert(poolChannel);
            const bool byNumber = names.size() > 1 && TAVO_tuner_lineup::firstPoolWith(tuners, channel.number) == box.pool;
            text += QStringLiteral("#EXTINF:-1 tvg-chno=\"%1\" tvg-name=\"%2\" tvg-logo=\"%3\" group-title=\"%4\",%5\n%6\n")
                        .arg(channel.number, attribute(channel.name), attribute(logoUrl(base, box, channel)),
                             attribute(names.join(QLatin1String(", "))), TAVO_mgr_lineText::oneLine(channel.name),
                             byNumber ? base + QLatin1String("/auto/v") + channel.number
                                      : channelUrl(base, box.id, channel.number));
        }
    }
    return text.toUtf8();
}

QByteArray TAVO_tuner_documents::discover(const QString &base, const QString &deviceId, int tunerCount,
                                          const QString &version)
{
    const QJsonObject document{
        {QStringLiteral("FriendlyName"), QLatin1String(friendlyName)},
        {QStringLiteral("Manufacturer"), QLatin1String(manufacturer)},
        {QStringLiteral("ModelNumber"), QLatin1String(modelNumber)},
        {QStringLiteral("FirmwareName"), QStringLiteral("tavo-tuner")},
        {QStringLiteral("FirmwareVersion"), version},
        {QStringLiteral("DeviceID"), deviceId},
        {QStringLiteral("DeviceAuth"), QStringLiteral("tavo") + deviceId},
        {QStringLiteral("BaseURL"), base},
        {QStringLiteral("LineupURL"), base + QLatin1String("/lineup.json")},
        {QStringLiteral("TunerCount"), tunerCount},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QByteArray TAVO_tuner_documents::lineup(const QList<TAVO_tuner_box> &boxes, const QString &base)
{
    QJsonArray entries;
    for (const QJsonObject &entry : lineupEntries(boxes, base))
        entries.append(entry);
    return QJsonDocument(entries).toJson(QJsonDocument::Compact);
}

QByteArray TAVO_tuner_documents::lineupXml(const QList<TAVO_tuner_box> &boxes, const QString &base)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("Lineup"));
    for (const QJsonObject &entry : lineupEntries(boxes, base)) {
        xml.writeStartElement(QStringLiteral("Program"));
        for (auto field = entry.constBegin(); field != entry.constEnd(); ++field)
            xml.writeTextElement(field.key(), field.value().toVariant().toString());
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return document;
}

QByteArray TAVO_tuner_documents::deviceXml(const QString &base, const QString &deviceId, const QString &udn)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("root"));
    xml.writeDefaultNamespace(QStringLiteral("urn:schemas-upnp-org:device-1-0"));
    xml.writeStartElement(QStringLiteral("specVersion"));
    xml.writeTextElement(QStringLiteral("major"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("minor"), QStringLiteral("0"));
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("URLBase"), base);
    xml.writeStartElement(QStringLiteral("device"));
    const QList<std::pair<QString, QString>> fields{
        {QStringLiteral("deviceType"), QStringLiteral("urn:schemas-upnp-org:device:MediaServer:1")},
        {QStringLiteral("friendlyName"), QLatin1String(friendlyName)},
        {QStringLiteral("manufacturer"), QLatin1String(manufacturer)},
        {QStringLiteral("modelName"), QLatin1String(modelNumber)},
        {QStringLiteral("modelNumber"), QLatin1String(modelNumber)},
        {QStringLiteral("serialNumber"), deviceId},
        {QStringLiteral("UDN"), udn},
    };
    for (const auto &[name, value] : fields)
        xml.writeTextElement(name, value);
    xml.writeEndDocument();
    return document;
}

QByteArray TAVO_tuner_documents::lineupStatus()
{
    const QJsonObject document{{QStringLiteral("ScanInProgress"), 0},
                               {QStringLiteral("ScanPossible"), 1},
                               {QStringLiteral("Source"), QStringLiteral("Cable")},
                               {QStringLiteral("SourceList"), QJsonArray{QStringLiteral("Cable")}}};
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QByteArray TAVO_tuner_documents::statusPage(const QList<TAVO_tuner_box> &boxes, const QList<TAVO_tuner_boxUse> &uses,
                                            const QMap<QString, QStringList> &failures, const QMap<QString, QString> &heldBy,
                                            const QStringList &refusals)
{
    QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><meta http-equiv=\"refresh\" content=\"%1\">"
                                  "<title>TAVO Tuner</title></head><body>\n"
                                  "<h1>TAVO Tuner</h1>\n<p><a href=\"/playlist.m3u\">Playlist</a></p>\n<table border=\"1\">\n"
                                  "<tr><th>Box</th><th>Address</th><th>Channels</th><th>Plays</th><th>Last failures</th></tr>\n")
                       .arg(statusRefreshSeconds);
    for (const TAVO_tuner_box &box : boxes) {
        QStringList lastFailures;
        for (const QString &failure : failures.value(box.id))
            lastFailures.append(html(failure));
        const QString holder = heldBy.value(box.id);
        const QString plays = holder.isEmpty() ? useOf(box, uses)
                                               : QStringLiteral("being recorded by ") + html(holder.left(80));
        page += QStringLiteral("<tr><td>%1%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td></tr>\n")
                    .arg(html(box.name()), box.encrypted ? QStringLiteral(" (encrypted)") : QString(),
                         html(box.server.host + QLatin1Char(':') + box.server.port),
                         QString::number(box.list.channels.size()), plays, lastFailures.join(QLatin1String("<br>")));
    }
    page += QStringLiteral("</table>\n<h2>Last refusals</h2>\n<ul>\n");
    for (auto refusal = refusals.crbegin(); refusal != refusals.crend(); ++refusal)
        page += QStringLiteral("<li>%1</li>\n").arg(html(*refusal));
    page += QStringLiteral("</ul>\n</body></html>\n");
    return page.toUtf8();
}
