#ifndef TAVO_RECORD_RECORDING_H
#define TAVO_RECORD_RECORDING_H

#include "TAVO_mgr_boxStream.h"
#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_boxLock.h"
#include "TAVO_record_exitStatus.h"
#include "TAVO_record_options.h"
#include "TAVO_mgr_packetWriter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

// One run of the recording command: finds the box, takes its lock, tunes the channel, then
// writes the box's stream until the end time or a signal; a stream dropped once it came is asked
// for again by its reader. ended() gives the exit status.
class TAVO_record_recording : public QObject
{
    Q_OBJECT

public:
    static constexpr int boxSearchLimitMs = 10000;

    explicit TAVO_record_recording(const TAVO_record_options &options, QObject *parent = nullptr);
    ~TAVO_record_recording() override;

    void start();
    // A signal asks the recording to stop: what was written stays, on a whole packet.
    void stop();

Q_SIGNALS:
    void ended(int exitStatus);

private:
    void noteDigitsAlone();
    void boxFound(const TAVO_SERVER &found);
    void tuned();
    bool openOutput();
    void writeWithoutBlocking();
    void firstBytesWritten();
    void armEndTimer();
    bool handle(TAVO_mgr_packetWriter::Result result);
    void readerReady();
    void packetsArrived(const QByteArray &packets);
    void streamEnded(const TAVO_mgr_streamFailure &failure);
    void showProgress();
    void say(const QString &text);
    void finish(TAVO_record_exitStatus status, QString reason = QString());

    TAVO_record_options options;
    TAVO_SERVER server;
    std::unique_ptr<TAVO_mgr_boxLock> lock;
    QPointer<TAVO_mgr_streamTap> tap;  // the command's reader of the box's stream
    int outputFd = -1;
    int outputFlags = -1;         // standard output's flags before it was made non-blocking
    QString outputPath;
    std::unique_ptr<QSocketNotifier> readerWaits;  // a pipe or socket that took no more for now
    std::unique_ptr<TAVO_mgr_packetWriter> writer;
    bool everPlayed = false;      // the stream came at least once
    bool attemptPlays = false;    // the current connection has given packets
    bool finished = false;
    bool terminal = false;
    QTimer endTimer;
    QDeadlineTimer endsAt{QDeadlineTimer::Forever};
    QTimer progressTimer;
    QElapsedTimer elapsed;
};

#endif
