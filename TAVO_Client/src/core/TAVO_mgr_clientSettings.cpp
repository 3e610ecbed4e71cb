#include "TAVO_mgr_clientSettings.h"

#include <QSettings>

namespace {

const QString volumeKey = QStringLiteral("sound/volume");
const QString mutedKey = QStringLiteral("sound/muted");
const QString geometryKey = QStringLiteral("window/geometry");
const QString splitterGroup = QStringLiteral("window/splitter/");
const QString panelPositionKey = QStringLiteral("remotePanel/position");
const QString controllerGroup = QStringLiteral("remotePanel/controller/");
// Each box's cache as a bare number of milliseconds, without date or rule.
const QString undatedCachingGroup = QStringLiteral("networkCaching/");
const QString cachingGroup = QStringLiteral("streamTuning/");
const QString cachingMsKey = QStringLiteral("/cachingMs");
const QString cachingChosenAtKey = QStringLiteral("/cachingChosenAt");
const QString cachingRuleKey = QStringLiteral("/cachingRule");
const QString streamSettingsGroup = QStringLiteral("streamSettings/");
const QString lastBoxKey = QStringLiteral("lastBox/udn");
const QString playAtStartKey = QStringLiteral("lastBox/playAtStart");

QVariant value(const QString &key, const QVariant &fallback = QVariant())
{
    return TAVO_mgr_clientSettings::open()->value(key, fallback);
}

void setValue(const QString &key, const QVariant &value)
{
    TAVO_mgr_clientSettings::open()->setValue(key, value);
}

} // namespace

std::unique_ptr<QSettings> TAVO_mgr_clientSettings::open()
{
    return std::make_unique<QSettings>(QStringLiteral("TAVO"), QStringLiteral("TAVO_Client"));
}

int TAVO_mgr_clientSettings::volume(int fallback)
{
    bool isNumber = false;
    const int percent = value(volumeKey, fallback).toInt(&isNumber);
    return isNumber ? percent : fallback;
}

void TAVO_mgr_clientSettings::setVolume(int percent)
{
    setValue(volumeKey, percent);
}

bool TAVO_mgr_clientSettings::muted()
{
    return value(mutedKey, false).toBool();
}

void TAVO_mgr_clientSettings::setMuted(bool muted)
{
    setValue(mutedKey, muted);
}

QByteArray TAVO_mgr_clientSettings::windowGeometry()
{
    return value(geometryKey).toByteArray();
}

void TAVO_mgr_clientSettings::setWindowGeometry(const QByteArray &geometry)
{
    setValue(geometryKey, geometry);
}

QByteArray TAVO_mgr_clientSettings::splitterState(const QString &name)
{
    return value(splitterGroup + name).toByteArray();
}

void TAVO_mgr_clientSettings::setSplitterState(const QString &name, const QByteArray &state)
{
    setValue(splitterGroup + name, state);
}

std::optional<QPoint> TAVO_mgr_clientSettings::remotePanelPosition()
{
    const QVariant stored = value(panelPositionKey);
    if (!stored.canConvert<QPoint>() || stored.isNull())
        return std::nullopt;
    return stored.toPoint();
}

void TAVO_mgr_clientSettings::setRemotePanelPosition(const QPoint &position)
{
    setValue(panelPositionKey, position);
}

QString TAVO_mgr_clientSettings::controllerFor(const QString &udn)
{
    return value(controllerGroup + udn).toString();
}

void TAVO_mgr_clientSettings::setControllerFor(const QString &udn, const QString &keyId)
{
    setValue(controllerGroup + udn, keyId);
}

std::optional<TAVO_mgr_clientSettings::RememberedCaching> TAVO_mgr_clientSettings::networkCachingFor(const QString &udn)
{
    const std::unique_ptr<QSettings> settings = open();
    if (settings->contains(undatedCachingGroup + udn))
        settings->remove(undatedCachingGroup + udn);
    const QString box = cachingGroup + udn;
    bool isNumber = false;
    bool isRule = false;
    const RememberedCaching caching{settings->value(box + cachingMsKey).toInt(&isNumber),
                                    QDateTime::fromString(settings->value(box + cachingChosenAtKey).toString(), Qt::ISODate),
                                    settings->value(box + cachingRuleKey).toInt(&isRule)};
    if (!isNumber || !isRule || !caching.chosenAt.isValid())
        return std::nullopt;
    return caching;
}

void TAVO_mgr_clientSettings::setNetworkCachingFor(const QString &udn, const RememberedCaching &caching)
{
    const std::unique_ptr<QSettings> settings = open();
    const QString box = cachingGroup + udn;
    settings->setValue(box + cachingMsKey, caching.milliseconds);
    settings->setValue(box + cachingChosenAtKey, caching.chosenAt.toUTC().toString(Qt::ISODate));
    settings->setValue(box + cachingRuleKey, caching.rule);
}

void TAVO_mgr_clientSettings::forgetNetworkCachingFor(const QString &udn)
{
    const std::unique_ptr<QSettings> settings = open();
    settings->remove(undatedCachingGroup + udn);
    settings->remove(cachingGroup + udn);
}

QString TAVO_mgr_clientSettings::streamSettingFor(const QString &udn, const QString &name)
{
    return value(streamSettingsGroup + udn + QLatin1Char('/') + name).toString();
}

void TAVO_mgr_clientSettings::setStreamSettingFor(const QString &udn, const QString &name, const QString &item)
{
    setValue(streamSettingsGroup + udn + QLatin1Char('/') + name, item);
}

QString TAVO_mgr_clientSettings::lastBox()
{
    return value(lastBoxKey).toString();
}

void TAVO_mgr_clientSettings::setLastBox(const QString &udn)
{
    setValue(lastBoxKey, udn);
}

bool TAVO_mgr_clientSettings::playLastBoxAtStart()
{
    return value(playAtStartKey, false).toBool();
}

void TAVO_mgr_clientSettings::setPlayLastBoxAtStart(bool play)
{
    setValue(playAtStartKey, play);
}
