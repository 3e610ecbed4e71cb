#ifndef TAVO_MGR_CLIENTSETTINGS_H
#define TAVO_MGR_CLIENTSETTINGS_H

#include "TAVO_mgr_tuningRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

// What the client keeps for the next start in the user's settings (QSettings, organisation
// "TAVO", application "TAVO_Client"): the sound, the window's shape, the remote panel's place
// and controllers, each box's network cache and stream settings, and the box chosen last. Each
// value is written as soon as it changes, since the program ends without tearing anything down.
namespace TAVO_mgr_clientSettings {

std::unique_ptr<QSettings> open();

int volume(int fallback);
void setVolume(int percent);
bool muted();
void setMuted(bool muted);

QByteArray windowGeometry();
void setWindowGeometry(const QByteArray &geometry);
// The two splitters' states, by name ("horizontal", "vertical").
QByteArray splitterState(const QString &name);
void setSplitterState(const QString &name, const QByteArray &state);

std::optional<QPoint> remotePanelPosition();
void setRemotePanelPosition(const QPoint &position);
// The keyId of the controller chosen for the box with this UDN; empty when none was chosen.
QString controllerFor(const QString &udn);
void setControllerFor(const QString &udn, const QString &keyId);

// A network cache chosen for a box's stream (TAVO_mgr_tuningRules).
using RememberedCaching = TAVO_mgr_tuningRules::RememberedCaching;
// The cache chosen for the box with this UDN's stream; none when none was. A cache remembered
// without its date and rule (as versions before them wrote it) is dropped.
std::optional<RememberedCaching> networkCachingFor(const QString &udn);
void setNetworkCachingFor(const QString &udn, const RememberedCaching &caching);
void forgetNetworkCachingFor(const QString &udn);

// The item a box's stream setting was given ("H.264" for "videoCodec"), as the file holds it:
// unchecked, so empty or anything at all; TAVO_mgr_streamSettings reads it.
QString streamSettingFor(const QString &udn, const QString &name);
void setStreamSettingFor(const QString &udn, const QString &name, const QString &item);

QString lastBox();
void setLastBox(const QString &udn);
bool playLastBoxAtStart();
void setPlayLastBoxAtStart(bool play);

} // namespace TAVO_mgr_clientSettings

#endif
