#ifndef TAVO_MGR_BOXSTREAM_H
#define TAVO_MGR_BOXSTREAM_H

#include "TAVO_mgr_backOff.h"
#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_packetCutter.h"
#include "TAVO_mgr_streamFailure.h"
#include "TAVO_mgr_streamFanOut.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class TAVO_mgr_boxConnection;
class TAVO_mgr_streamTap;

// The one connection of this program to a box's stream, shared by everything that reads it: the
// window's player, a recording, the tuner's viewers. It asks the box when its first reader
// joins (TAVO_mgr_boxConnection), cuts what comes into whole transport packets
// (TAVO_mgr_packetCutter) and hands them to every reader from a clean entry point
// (TAVO_mgr_streamFanOut). A stream lost while a reader keeps asking for it is asked for again
// after a pause that grows while the box fails (TAVO_mgr_backOff): this is the one place where
// the commands ask a box again. When the last reader goes, the connection is closed after a
// moment's grace (a player started again finds it still open).
class TAVO_mgr_boxStream : public QObject
{
    Q_OBJECT

public:
    // How long the connection outlives its last reader.
    static constexpr int graceMs = 500;
    // A box whose stream gives no reader an entry point within this is given up (bytes that
    // never make a packet, a stream without a clock and without a picture that decodes alone).
    static constexpr int entryLimitMs = 15000;

    // The stream of `server`'s box in this program, made when first asked for; gone once its
    // last reader has gone and the grace has passed.
    static TAVO_mgr_boxStream *of(const TAVO_SERVER &server);
    // The stream of the box `udn` in this program; none while nothing reads it.
    static TAVO_mgr_boxStream *find(const QString &udn);

    // A new reader of the stream, owned by `owner`: it starts at the newest entry point kept,
    // else at the next one. The box is asked when no connection is open.
    TAVO_mgr_streamTap *join(QObject *owner);

    bool isOpen() const { return connection != nullptr; }
    int readerCount() const { return fanOut.readers().size(); }

private:
    friend class TAVO_mgr_streamTap;
    explicit TAVO_mgr_boxStream(const TAVO_SERVER &server);
    ~TAVO_mgr_boxStream() override;

    void ask();
    void arrived(const QByteArray &bytes);
    void connectionEnded(const TAVO_mgr_streamFailure &failure);
    void endConnection(const TAVO_mgr_streamFailure &failure);
    void tellEnd(const TAVO_mgr_streamFailure &failure);
    TAVO_mgr_streamFailure failureOf(const TAVO_mgr_streamFailure &told) const;
    void askAgainIfWanted();
    void leave(TAVO_mgr_streamTap *tap);
    void holdChanged();
    void closeIfUnread();

    TAVO_SERVER server;
    QString url;
    TAVO_mgr_boxConnection *connection = nullptr;
    TAVO_mgr_packetCutter cutter;
    TAVO_mgr_streamFanOut fanOut;
    TAVO_mgr_backOff backOff;
    bool flowing = false;  // whole packets came on this connection
    QTimer entryLimit;
    QTimer askTimer;  // the pause before asking again
    QTimer grace;
};

// One reader of a box's stream (TAVO_mgr_boxStream::join). Its first packets are the stream's
// tables, then a packet where a reader may start; after a loss it goes on from the next
// connection's entry point.
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

    // A reader that keeps asking has the box asked again, after a growing pause, whenever its
    // stream is lost; the others are told and go (a player that asks again itself).
    void setKeepAsking(bool keep);
    // The pause until the box is asked again, -1 when it is not to be.
    int askingAgainInMs() const;
    // A reader that cannot take more for now (a pipe whose reader waits) holds the stream: the
    // connection is not read meanwhile, and the box waits. Only a program's sole reader may.
    void hold(bool holding);
    TAVO_mgr_boxStream *stream() const { return box; }
    qint64 bytesGiven() const { return given; }

Q_SIGNALS:
    // Whole transport packets, from a clean entry point on.
    void packets(const QByteArray &packets);
    // The box's connection ended: `failure` says why it gave no stream, empty when a stream
    // that flowed ended. The reader stays.
    void ended(const TAVO_mgr_streamFailure &failure);

private:
    friend class TAVO_mgr_boxStream;
    friend class TAVO_mgr_streamFanOut;
    TAVO_mgr_streamTap(TAVO_mgr_boxStream *box, QObject *owner);
    void give(const QByteArray &packets);

    QPointer<TAVO_mgr_boxStream> box;
    Clock clock = Clock::AsSent;
    bool keepAsking = false;
    bool started = false;  // the reader has had its entry point
    bool holding = false;
    qint64 given = 0;
};

#endif
