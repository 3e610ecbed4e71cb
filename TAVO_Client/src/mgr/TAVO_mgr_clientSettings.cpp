#include "TAVO_mgr_clientSettings.h"

#include <QSettings>

namespace {

const QString volumeKey = QStringLiteral("sound/volume");
const QString mutedKey = QStringLiteral("sound/muted");
const QString geometryKey = QStringLiteral("window/geometry");
const QString splitterGroup = QStringLiteral("window/splitter/");
const QString panelPositionKey = QStringLiteral("remotePanel/position");
const QString controllerGroup = QStringLiteral("remotePanel/controller/");
const QString networkCachingGroup = QStringLiteral("networkCaching/");
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

int TAVO_mgr_clientSettings::networkCachingFor(const QString &udn)
{
    return value(networkCachingGroup + udn, 0).toInt();
}

void TAVO_mgr_clientSettings::setNetworkCachingFor(const QString &udn, int milliseconds)
{
    setValue(networkCachingGroup + udn, milliseconds);
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
