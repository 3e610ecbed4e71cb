#ifndef TAVO_MGR_STREAMFAILURE_H
#define TAVO_MGR_STREAMFAILURE_H

#include <QString>

// Why a box's stream did not come: a reason for a status line ("the box refused the connection")
// and the message box's text, the reason as a sentence and then what the user can do. Whoever
// read the stream (libVLC, the program's own reader) says it in the same words.
struct TAVO_mgr_streamFailure
{
    enum class Kind { Unknown, KeyNotPinned, Credentials, Refused, TimedOut, HttpStatus, NoAnswer, NotTransportStream, Stalled };

    static TAVO_mgr_streamFailure because(const QString &reason, const QString &advice, Kind kind = Kind::Unknown);

    static TAVO_mgr_streamFailure keyNotPinned(const QString &host);
    static TAVO_mgr_streamFailure credentialsRefused();
    static TAVO_mgr_streamFailure connectionRefused();
    static TAVO_mgr_streamFailure timedOut();
    static TAVO_mgr_streamFailure httpStatus(int status);
    static TAVO_mgr_streamFailure noAnswer(int limitMs);
    static TAVO_mgr_streamFailure notTransportStream(qint64 bytes);
    static TAVO_mgr_streamFailure stalled(int limitMs);

    bool isEmpty() const { return reason.isEmpty(); }

    QString reason;
    QString explanation;
    Kind kind = Kind::Unknown;
};

#endif
