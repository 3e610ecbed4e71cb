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

// The model HDHomeRun clients are told; they take it as a network tuner of this form.
inline constexpr char modelNumber[] = "HDTC-2US";

QByteArray playlist(const QList<TAVO_tuner_box> &boxes, const QString &base);
QByteArray discover(const QString &base, const QString &deviceId, int tunerCount, const QString &version);
// Each number once: the first pool that has it serves it (TAVO_tuner_lineup::poolFor).
QByteArray lineup(const QList<TAVO_tuner_box> &boxes, const QString &base);
QByteArray lineupStatus();
QByteArray statusPage(const QList<TAVO_tuner_box> &boxes, const QList<TAVO_tuner_boxUse> &uses,
                      const QMap<QString, QStringList> &failures);

// A text fit for an M3U attribute value: one line, its double quotes made single ones.
QString attribute(const QString &text);
QString channelUrl(const QString &base, const QString &boxId, const QString &number);

} // namespace TAVO_tuner_documents

#endif
