#ifndef TAVO_MGR_STREAMSOCKET_H
#define TAVO_MGR_STREAMSOCKET_H

#include "TAVO_mgr_streamFailure.h"
#include "TAVO_mgr_streamFanOut.h"
#include "TAVO_mgr_streamPacer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

class TAVO_mgr_streamTap;

// Sends one reader's share of a box's stream to an HTTP client: the answer's head once the
// stream's first packets are there, then the packets as they come, until the client goes or the
// stream ends. A client that takes less than the stream brings is dropped once it has fallen
// `backlogLimitBytes` behind: it never holds the box or the other readers. A client that joins
// late is first given the stream since its newest entry point, up to keptLimitBytes at once.
class TAVO_mgr_streamSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 backlogLimitBytes = TAVO_mgr_streamFanOut::keptLimitBytes + 4 * 1024 * 1024;
    // A client whose stream was lost waits this long for the box to send it again.
    static constexpr int rejoinLimitMs = 30000;
    // A client that takes nothing more is not waited for longer than this once its answer ends.
    static constexpr int closeLimitMs = 5000;

    // Lets the socket go on its own: it is deleted once what was written is sent, or after
    // closeLimitMs when the client takes nothing.
    static void closeAfterSending(QTcpSocket *socket);

    // What the client gets when the stream does not come or ends.
    struct Answers
    {
        // The head of the stream's answer.
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: video/mp2t\r\nCache-Control: no-cache\r\n"
                          "Connection: close\r\n\r\n";
        // The answer to a stream that never came; none: the connection closes unanswered, as the
        // box's would (a player then tells the failure as it would tell the box's).
        std::function<QByteArray(const TAVO_mgr_streamFailure &)> refusal;
        // A stream lost once the answer began is asked for again while the client waits (a TV
        // server's viewer), rather than ending the client's answer (a player that asks again
        // itself).
        bool askAgainAfterLoss = false;
    };

    // Takes over `socket` and `tap`.
    TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, QObject *parent = nullptr);
    TAVO_mgr_streamSocket(QTcpSocket *socket, TAVO_mgr_streamTap *tap, Answers answers, QObject *parent);

    // Hands the packets on at the pace of the stream's clock, holding a margin against the
    // box's stalls (TAVO_mgr_streamPacer): for a player, which then never runs dry. A recording
    // or a TV server's viewer takes them as they come.
    void pace();

Q_SIGNALS:
    // The client went, was dropped, or the stream ended or never came; `why` is empty when the
    // client just went. The object deletes itself.
    void finished(const QString &why);
    // The stream never came for the client: why.
    void refused(const TAVO_mgr_streamFailure &failure);

private:
    void take(const QByteArray &packets);
    void sendDue();
    void send(const QByteArray &packets);
    void streamEnded(const TAVO_mgr_streamFailure &failure);
    void finish(const QString &why);

    QPointer<QTcpSocket> socket;
    TAVO_mgr_streamTap *tap;
    Answers answers;
    QTimer rejoinLimit;
    std::unique_ptr<TAVO_mgr_streamPacer> pacer;  // none: unpaced
    QElapsedTimer pacerClock;
    QTimer pacerTimer;
    bool answered = false;
    bool done = false;
};

#endif
