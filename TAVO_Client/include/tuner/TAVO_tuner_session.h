#ifndef TAVO_TUNER_SESSION_H
#define TAVO_TUNER_SESSION_H

#include "TAVO_mgr_boxLock.h"
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
// box's one stream. When the last client has gone the channel is kept a moment (TV software such
// as Kodi opens a channel's address several times in a row, and each time would send the keys
// again); then the lock is released and finished() follows (the box's stream closes by itself
// once nobody reads it).
class TAVO_tuner_session : public QObject
{
    Q_OBJECT

public:
    // How long a channel is kept tuned after its last client, for one that comes straight back.
    static constexpr int keptAfterLastClientMs = 5000;

    TAVO_tuner_session(const TAVO_tuner_box &box, const QString &number, QObject *parent = nullptr);
    ~TAVO_tuner_session() override;

    // Takes the box's lock and starts tuning; the lock's outcome, with `detail` (the lock, its
    // holder) when the box is not taken.
    TAVO_mgr_boxLock::Outcome start(QString *detail);
    // A client of this channel: it gets the stream once the box is tuned. `userAgent`: what it said it is.
    void add(QTcpSocket *client, const QByteArray &userAgent);

    QString boxId() const { return box.id; }
    QString number() const { return channel; }
    int viewerCount() const { return int(viewers.size()); }
    // True while the channel is kept after its last client: the box may be taken for another.
    bool isKeptForNobody() const { return kept.isActive(); }
    // Releases the box now; finished() follows.
    void end();
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
    std::unique_ptr<TAVO_mgr_boxLock> lock;
    TAVO_mgr_channelKeys *keys = nullptr;
    QList<TAVO_tuner_viewer *> viewers;
    QTimer settle;  // the receiver switching after the last key
    QTimer kept;    // after the last client
    bool ready = false;
    bool refused = false;  // the box would not be tuned: nothing to keep for a client coming back
    QDateTime started = QDateTime::currentDateTime();
};

#endif
