#ifndef TAVO_TUNER_DOCUMENTS_H
#define TAVO_TUNER_DOCUMENTS_H

#include "TAVO_tuner_lineup.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What the status page shows of one box in use.
struct TAVO_tuner_boxUse
{
    QString boxId;
    QString number;
    QDateTime since;
    QStringList viewers;  // "address:port since hh:mm:ss"
};

// The documents the service answers with. Every text a box, a channel list or a file gave is
// cleaned or escaped for the document it goes into; numbers and box ids are checked ones.
// `base` is the service's own address as the asking client reached it ("http://host:port").
namespace TAVO_tuner_documents {

// The model HDHomeRun clients are told: a network tuner that sends what it receives. A model
// with "HDTC" in it (the EXTEND) tells Jellyfin that it transcodes: it would offer H.264 profiles
// of sizes the box does not send and ask for them with ?transcode=, which a box cannot serve.
inline constexpr char modelNumber[] = "HDHR5-2US";
inline constexpr char friendlyName[] = "TAVO Tuner";
inline constexpr char manufacturer[] = "TAVO Client";

// Each channel of a pool once: by number (/auto/v<number>) when the pool holds several boxes and
// is the one that number means among `tuners` (the boxes served), else by its box.
QByteArray playlist(const QList<TAVO_tuner_box> &boxes, const QList<TAVO_tuner_box> &tuners, const QString &base);
QByteArray discover(const QString &base, const QString &deviceId, int tunerCount, const QString &version);
// Each number once: the first pool that has it serves it (TAVO_tuner_lineup::poolFor), with the
// codecs and size its boxes are asked for.
QByteArray lineup(const QList<TAVO_tuner_box> &boxes, const QString &base);
// The same lineup in HDHomeRun's XML form.
QByteArray lineupXml(const QList<TAVO_tuner_box> &boxes, const QString &base);
QByteArray lineupStatus();
// The UPnP description SSDP announces (TAVO_tuner_ssdp), for Plex and Channels DVR, which then
// read discover.json from its URLBase. `udn`: TAVO_tuner_deviceId::udnOf.
QByteArray deviceXml(const QString &base, const QString &deviceId, const QString &udn);
// The status page, which refreshes itself: each box, what it plays for whom, or who else holds it
// (`heldBy`, by box id: "tavo-record (pid 1234) since 21:05:12"), its last failures, and the
// service's last refusals of clients.
QByteArray statusPage(const QList<TAVO_tuner_box> &boxes, const QList<TAVO_tuner_boxUse> &uses,
                      const QMap<QString, QStringList> &failures, const QMap<QString, QString> &heldBy,
                      const QStringList &refusals);
inline constexpr int statusRefreshSeconds = 5;

// A text fit for an M3U attribute value: one line, its double quotes made single ones.
QString attribute(const QString &text);
QString channelUrl(const QString &base, const QString &boxId, const QString &number);

} // namespace TAVO_tuner_documents

#endif
