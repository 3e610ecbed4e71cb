#ifndef TAVO_TUNER_DEVICEID_H
#define TAVO_TUNER_DEVICEID_H

#include <QString>

// The id HDHomeRun clients know the service by: 8 hex digits, drawn once at random and kept in
// the client's data folder, so that a TV server finds the same tuner after a restart, whichever
// boxes answer first.
namespace TAVO_tuner_deviceId {

// The kept id, or a new one kept from now on; a new one each start when it cannot be kept.
QString load();
QString filePath();
bool isDeviceId(const QString &text);
// The UPnP name of the service with that id ("uuid:…"), the same for the same id.
QString udnOf(const QString &deviceId);

} // namespace TAVO_tuner_deviceId

#endif
