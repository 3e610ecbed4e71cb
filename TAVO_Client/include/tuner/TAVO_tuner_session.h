#ifndef TAVO_TUNER_SESSION_H
#define TAVO_TUNER_SESSION_H

#include "TAVO_record_boxLock.h"
#include "TAVO_tuner_documents.h"
#include "TAVO_tuner_lineup.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class QTcpSocket;
class TAVO_mgr_channelKeys;
class TAVO_tuner_viewer;

// One box serving one channel: it holds the box's lock, tunes the channel by its keys, waits
// the list's pause for the receiver to switch, and then every client of the channel reads the
// box's one stream. When the last client has gone, the lock is released and finished() follows
// (the box's stream closes by itself once nobody reads it).
class TAVO_tuner_session : public QObject
{
    Q_OBJECT

public:
    TAVO_tuner_session(const TAVO_tuner_box &box, const QString &number, QObject *parent = nullptr);
    ~TAVO_tuner_session() override;

    // Takes the box's lock and starts tuning; the lock's outcome, with `detail` (the lock, its
    // holder) when the box is not taken.
    TAVO_record_boxLock::Outcome start(QString *detail);
    // A client of this channel: it gets the stream once the box is tuned.
    void add(QTcpSocket *client);

    QString boxId() const { return box.id; }
    QString number() const { return channel; }
    int viewerCount() const { return int(viewers.size()); }
    TAVO_tuner_boxUse use() const;

Q_SIGNALS:
    void failed(const QString &boxId, const QString &reason);
    void finished();

private:
    void tuned();
    void tuningRefused(const QString &reason);
    void viewerGone(TAVO_tuner_viewer *viewer);

    TAVO_tuner_box box;
    QString channel;
    std::unique_ptr<TAVO_record_boxLock> lock;
    TAVO_mgr_channelKeys *keys = nullptr;
    QList<TAVO_tuner_viewer *> viewers;
    QTimer settle;  // the receiver switching after the last key
    bool ready = false;
    QDateTime started = QDateTime::currentDateTime();
};

#endif
