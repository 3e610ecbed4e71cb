#ifndef TAVO_MGR_CLIENTSETTINGS_H
#define TAVO_MGR_CLIENTSETTINGS_H

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

// What the client keeps for the next start in the user's settings (QSettings, organisation
// "TAVO", application "TAVO_Client"): the sound, the window's shape, the remote panel's place
// and controllers, each box's network cache, and the box chosen last. Each value is written as
// soon as it changes, since the program ends without tearing anything down.
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

// The network cache in milliseconds chosen for the box with this UDN's stream; 0 when none was.
int networkCachingFor(const QString &udn);
void setNetworkCachingFor(const QString &udn, int milliseconds);

QString lastBox();
void setLastBox(const QString &udn);
bool playLastBoxAtStart();
void setPlayLastBoxAtStart(bool play);

} // namespace TAVO_mgr_clientSettings

#endif
