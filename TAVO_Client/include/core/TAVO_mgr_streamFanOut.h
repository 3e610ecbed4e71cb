#ifndef TAVO_MGR_STREAMFANOUT_H
#define TAVO_MGR_STREAMFANOUT_H

#include "TAVO_mgr_streamFailure.h"
#include "TAVO_mgr_tsEntry.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

class TAVO_mgr_streamTap;

// Hands a box's packets to each of its readers, every one from a clean entry point: the tables,
// then a packet where a reader may start (TAVO_mgr_tsEntry). The stream since the newest entry
// point is kept, so that a reader that joins later starts at once. Readers that take the
// pictures' clock get the box's clock moved onto the stamps of what it sends.
class TAVO_mgr_streamFanOut
{
public:
    // What is kept since the newest entry point; a stream that shows none for longer keeps none,
    // and a reader that joins then waits for the next. A client of the stream may fall this
    // far behind and then some (TAVO_mgr_streamSocket).
    static constexpr qint64 keptLimitBytes = 8 * 1024 * 1024;

    void add(TAVO_mgr_streamTap *tap);
    void remove(TAVO_mgr_streamTap *tap);
    // Starts a reader that joined an open stream at the newest entry point kept, if there is one.
    void startLate(TAVO_mgr_streamTap *tap);
    // Whole packets of the stream, in order.
    void take(const QByteArray &packets);
    // The connection ended: every reader is told, and starts again at the next connection's
    // entry point.
    void end(const TAVO_mgr_streamFailure &failure);

    const QList<TAVO_mgr_streamTap *> &readers() const { return taps; }
    // Has a reader been given an entry point on this connection?
    bool hasStarted() const { return started; }
    // Does a reader hold the stream (TAVO_mgr_streamTap::hold)?
    bool isHeld() const;

private:
    bool canStart(const TAVO_mgr_streamTap *tap) const;
    void startWaitingReaders();
    void giveBatch();
    void deliver(TAVO_mgr_streamTap *tap, const QByteArray &packets) const;

    QList<TAVO_mgr_streamTap *> taps;
    TAVO_mgr_tsEntry entry;
    QByteArray kept;   // the stream since the newest entry point (none: empty)
    QByteArray batch;  // packets taken in this pass, for the readers
    bool started = false;  // readers have been given an entry point on this connection
};

#endif
