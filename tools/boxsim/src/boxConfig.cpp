#include "boxConfig.h"

#include "encoderArguments.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QVariant>

namespace {

// Numbers and texts are both accepted where the documents carry text (ids, counts).
QString text(const QJsonObject &object, const QString &key, const QString &fallback = {})
{
    const QJsonValue value = object.value(key);
    return value.isUndefined() || value.isNull() ? fallback : value.toVariant().toString();
}

quint16 port(const QJsonObject &object, const QString &key, quint16 fallback)
{
    return quint16(object.value(key).toInt(fallback));
}

DocumentKnobs readKnobs(const QJsonObject &object, const QString &prefix)
{
    DocumentKnobs knobs;
    knobs.status = object.value(prefix + QStringLiteral("Status")).toInt(200);
    knobs.redirect = text(object, prefix + QStringLiteral("Redirect"));
    knobs.hasBody = object.contains(prefix + QStringLiteral("Body"));
    knobs.body = text(object, prefix + QStringLiteral("Body"));
    knobs.delayMs = object.value(prefix + QStringLiteral("DelayMs")).toInt(0);
    knobs.oversizeBytes = object.value(prefix + QStringLiteral("OversizeBytes")).toInt(0);
    knobs.endless = object.value(prefix + QStringLiteral("Endless")).toBool(false);
    knobs.plainAnswers = object.value(prefix + QStringLiteral("PlainAnswers")).toInt(0);
    knobs.faultyAnswers = object.value(prefix + QStringLiteral("FaultyAnswers")).toInt(0);
    return knobs;
}

QList<ControllerConfig> readControllers(const QJsonArray &array)
{
    QList<ControllerConfig> controllers;
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        controllers.append({text(object, QStringLiteral("id")), text(object, QStringLiteral("name")),
                            text(object, QStringLiteral("supportKeys"))});
    }
    return controllers;
}

QMap<QString, int> readKeyStatus(const QJsonObject &object)
{
    QMap<QString, int> statusByKey;
    for (auto it = object.begin(); it != object.end(); ++it)
        statusByKey.insert(it.key(), it.value().toInt(200));
    return statusByKey;
}

QStringList readStringList(const QJsonArray &array)
{
    QStringList list;
    for (const QJsonValue &value : array)
        list.append(value.toString());
    return list;
}

bool readBox(const QJsonObject &object, BoxConfig *box, QString *error)
{
    box->uuid = text(object, QStringLiteral("uuid"));
    box->address = QHostAddress(text(object, QStringLiteral("address")));
    if (box->uuid.isEmpty() || box->address.isNull()) {
        *error = QStringLiteral("every box needs a \"uuid\" and an \"address\"");
        return false;
    }
    box->friendlyName = text(object, QStringLiteral("friendlyName"), box->friendlyName);
    box->descriptionPort = port(object, QStringLiteral("descriptionPort"), box->descriptionPort);
    box->streamingPort = port(object, QStringLiteral("streamingPort"), box->streamingPort);
    box->rcuPort = port(object, QStringLiteral("rcuPort"), box->rcuPort);
    box->queryPort = port(object, QStringLiteral("queryPort"), box->queryPort);
    box->webPort = port(object, QStringLiteral("webPort"), box->webPort);
    box->encryption = text(object, QStringLiteral("encryption"));
    box->deviceType = text(object, QStringLiteral("deviceType"), box->deviceType);
    box->maxAgeSeconds = object.value(QStringLiteral("maxAge")).toInt(box->maxAgeSeconds);
    box->rcuFile = text(object, QStringLiteral("rcuFile"), box->rcuFile);
    box->rcuVersion = text(object, QStringLiteral("rcuVersion"), box->rcuVersion);
    box->controllers = readControllers(object.value(QStringLiteral("controllers")).toArray());
    box->supportKeysBytes = object.value(QStringLiteral("supportKeysBytes")).toInt(0);
    const QString firstId = box->controllers.isEmpty() ? QString() : box->controllers.first().id;
    box->defaultId = text(object, QStringLiteral("defaultId"), firstId);
    box->totalAmount = text(object, QStringLiteral("totalAmount"), QString::number(box->controllers.size()));
    box->keyStatus = readKeyStatus(object.value(QStringLiteral("keyStatus")).toObject());
    box->description = readKnobs(object, QStringLiteral("description"));
    box->rcu = readKnobs(object, QStringLiteral("rcu"));
    box->silent = readStringList(object.value(QStringLiteral("silent")).toArray());
    box->otherTlsKey = text(object, QStringLiteral("tlsKey")) == QLatin1String("other");
    box->streamHiccups = object.value(QStringLiteral("streamHiccups")).toBool(false);
    box->streamHiccupPauseMs = std::max(4, object.value(QStringLiteral("streamHiccupPauseMs")).toInt(box->streamHiccupPauseMs));
    box->streamClockPpm = object.value(QStringLiteral("streamClockPpm")).toInt(0);
    box->streamFrameNumber = object.value(QStringLiteral("streamFrameNumber")).toBool(false);
    box->gopSeconds = std::max(0.04, object.value(QStringLiteral("gopSeconds")).toDouble(box->gopSeconds));
    box->videoCodec = text(object, QStringLiteral("videoCodec"));
    box->intraRefresh = object.value(QStringLiteral("intraRefresh")).toBool(false);
    box->pmtChangeAfterMs = object.value(QStringLiteral("pmtChangeAfterMs")).toInt(0);
    box->clockNearWrap = object.value(QStringLiteral("clockNearWrap")).toBool(false);
    box->streamErrorPage = object.value(QStringLiteral("streamErrorPage")).toBool(false);
    box->channelConfirmKey = text(object, QStringLiteral("channelConfirmKey"));
    box->channelEntryPauseMs = object.value(QStringLiteral("channelEntryPauseMs")).toInt(box->channelEntryPauseMs);
    const QJsonObject names = object.value(QStringLiteral("channels")).toObject();
    for (auto name = names.constBegin(); name != names.constEnd(); ++name)
        box->channelNames.insert(name.key(), name.value().toString());
    box->streamDropAfterMs = object.value(QStringLiteral("streamDropAfterMs")).toInt(0);
    box->streamDownMs = object.value(QStringLiteral("streamDownMs")).toInt(0);
    box->streamDropRepeats = object.value(QStringLiteral("streamDropRepeats")).toBool(false);
    box->streamStall = object.value(QStringLiteral("streamStall")).toBool(false);
    box->streamDropMidPacket = object.value(QStringLiteral("streamDropMidPacket")).toBool(false);
    box->streamBody = text(object, QStringLiteral("streamBody"));
    box->ssdp = text(object, QStringLiteral("ssdp"), box->ssdp);
    if (!QStringList{QStringLiteral("multicast"), QStringLiteral("multicastOnly"), QStringLiteral("unicast"),
                     QStringLiteral("none")}
             .contains(box->ssdp)) {
        *error = QStringLiteral("\"ssdp\" is one of \"multicast\", \"multicastOnly\", \"unicast\" and \"none\"");
        return false;
    }
    if (!box->videoCodec.isEmpty() && !EncoderArguments::videoCodecNames().contains(box->videoCodec)) {
        *error = QStringLiteral("\"videoCodec\" is one of \"%1\"")
                     .arg(EncoderArguments::videoCodecNames().join(QStringLiteral("\", \"")));
        return false;
    }
    return true;
}

} // namespace

QString BoxConfig::descriptionLocation() const
{
    return QStringLiteral("http://%1:%2/description.xml").arg(address.toString()).arg(descriptionPort);
}

QList<BoxConfig> readBoxConfigs(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("config is not a JSON object: ") + parseError.errorString();
        return {};
    }
    QList<BoxConfig> boxes;
    for (const QJsonValue &value : document.object().value(QStringLiteral("boxes")).toArray()) {
        BoxConfig box;
        if (!readBox(value.toObject(), &box, error))
            return {};
        boxes.append(box);
    }
    if (boxes.isEmpty() && error->isEmpty())
        *error = QStringLiteral("config names no boxes");
    return boxes;
}
