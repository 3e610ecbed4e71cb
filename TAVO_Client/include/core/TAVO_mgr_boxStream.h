#ifndef TAVO_MGR_BOXSTREAM_H
#define TAVO_MGR_BOXSTREAM_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_streamFailure.h"
#include "TAVO_mgr_tsEntry.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QSslError;
class TAVO_mgr_streamTap;

// The one connection of this program to a box's stream, shared by everything that reads it: the
// window's player, a recording, the tuner's viewers. It asks the box when its first reader
// joins or a reader asks again after a loss, cuts what comes into whole transport packets, and
// hands them to every reader, each from a clean entry point (TAVO_mgr_tsEntry) so that a
// demuxer needs no probing. The stream of the last picture that decodes alone is kept, so that a
// reader that joins later starts at once. When the last reader goes, the connection is closed
// after a moment's grace (a player started again finds it still open).
class TAVO_mgr_boxStream : public QObject
{
    Q_OBJECT

public:
    // A reader that takes nothing leaves at most this much waiting in the connection; the box's
    // sending waits meanwhile.
    static constexpr qint64 readBufferBytes = 1024 * 1024;
    // What is kept since the last picture that decodes alone; a stream that shows none for longer
    // keeps only its tables and the newest packets.
    static constexpr qint64 keptLimitBytes = 8 * 1024 * 1024;
    // A box that takes the connection but sends no stream is given up after this.
    static constexpr int answerLimitMs = 10000;
    // A stream that flowed and then sends nothing for this long is as lost as one that ended
    // (a box that vanished without closing the connection).
    static constexpr int stallLimitMs = 8000;
    // How long the connection outlives its last reader.
    static constexpr int graceMs = 500;

    // The stream of `server`'s box in this program, made when first asked for; gone once its
    // last reader has gone and the grace has passed.
    static TAVO_mgr_boxStream *of(const TAVO_SERVER &server);
    // The stream of the box `udn` in this program; none while nothing reads it.
    static TAVO_mgr_boxStream *find(const QString &udn);

    // A new reader of the stream, owned by `owner`: it starts at the newest entry point kept,
    // else at the next one. The box is asked when no connection is open.
    TAVO_mgr_streamTap *join(QObject *owner);

    bool isOpen() const { return reply != nullptr; }
    int readerCount() const { return readers.size(); }

    // The pinned key of host in a GnuTLS known-hosts text, empty when none is pinned.
    static QByteArray pinnedKey(const QByteArray &knownHosts, const QString &host);

private:
    friend class TAVO_mgr_streamTap;
    explicit TAVO_mgr_boxStream(const TAVO_SERVER &server);
    ~TAVO_mgr_boxStream() override;

    void ask();
    void drop();
    void bytesArrived();
    void takeWholePackets();
    void connectionEnded();
    void heardNothing();
    void take(const char *packet);
    void startWaitingReaders();
    void giveBatch();
    void checkPeerKey(const QList<QSslError> &errors);
    bool peerKeyIsPinned() const;
    void leave(TAVO_mgr_streamTap *tap);
    bool isHeld() const;
    void closeIfUnread();
    void endWith(const TAVO_mgr_streamFailure &why);
    TAVO_mgr_streamFailure failureOf(QNetworkReply *ended) const;

    TAVO_SERVER server;
    QString url;
    QNetworkAccessManager network;
    QPointer<QNetworkReply> reply;
    QList<TAVO_mgr_streamTap *> readers;
    TAVO_mgr_tsEntry entry;
    QByteArray partial;       // bytes of the stream not yet a whole packet
    qint64 unsynced = 0;      // bytes read since the last packet boundary
    QByteArray kept;          // the stream since the last picture that decodes alone (none: empty)
    QByteArray batch;         // whole packets read in this pass, for the readers
    qint64 clockShift = -1;   // for readers that take the pictures' clock; -1 until measured
    bool flowing = false;
    bool keyMismatch = false;
    QTimer silence;  // nothing came for too long
    QTimer grace;
};

// One reader of a box's stream (TAVO_mgr_boxStream::join). Its first packets are the stream's
// tables, then a picture that decodes alone; after a loss the stream is asked again by again()
// and the reader goes on from the next entry point.
class TAVO_mgr_streamTap : public QObject
{
    Q_OBJECT

public:
    ~TAVO_mgr_streamTap() override;

    // How the stream's clock (PCR) reaches this reader: as the box sent it, or moved onto the
    // stamps of what it sends (a box sends its pictures some 0.75 s ahead of its clock, its sound
    // some 0.55 s), so that the track furthest behind comes just in time by it.
    enum class Clock { AsSent, OfPictures };
    void setClock(Clock clock) { this->clock = clock; }

    // Asks the box again after the stream ended; harmless while it is open.
    void again();
    // A reader that cannot take more for now (a pipe whose reader waits) holds the stream: the
    // connection is not read meanwhile, and the box waits. Only a program's sole reader may.
    void hold(bool holding);
    TAVO_mgr_boxStream *stream() const { return box; }
    qint64 bytesGiven() const { return given; }

Q_SIGNALS:
    // Whole transport packets, from a clean entry point on.
    void packets(const QByteArray &packets);
    // The box's connection ended: `failure` says why it gave no stream, empty when a stream
    // that flowed ended. The reader stays; again() asks for the stream again.
    void ended(const TAVO_mgr_streamFailure &failure);

private:
    friend class TAVO_mgr_boxStream;
    TAVO_mgr_streamTap(TAVO_mgr_boxStream *box, QObject *owner);
    void give(const QByteArray &packets);

    QPointer<TAVO_mgr_boxStream> box;
    Clock clock = Clock::AsSent;
    bool started = false;  // the reader has had its entry point
    bool holding = false;
    QByteArray pendingTables;  // the tables it gets before its entry point
    qint64 given = 0;
};

#endif
