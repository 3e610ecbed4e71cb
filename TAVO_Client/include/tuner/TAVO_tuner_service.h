#ifndef TAVO_TUNER_SERVICE_H
#define TAVO_TUNER_SERVICE_H

#include "TAVO_mgr_boxLock.h"
#include "TAVO_mgr_clientLimit.h"
#include "TAVO_mgr_recordedBoxes.h"
#include "TAVO_tuner_lineup.h"
#include "TAVO_tuner_page.h"
#include "TAVO_tuner_request.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;
class TAVO_tuner_session;

// The tuner's HTTP service: reads each request's head (bounded in size and time), answers the
// documents from the lineup, and hands each channel's clients to the session of its box.
class TAVO_tuner_service : public QObject
{
    Q_OBJECT

public:
    // A client that has not sent its request's head by then is let go.
    static constexpr int headTimeLimitMs = 10000;
    static constexpr int failuresKept = 5;
    static constexpr int refusalsKept = 8;
    // What the service may hold for its clients is bounded, for a small home server: each viewer
    // may have up to TAVO_mgr_streamSocket::backlogLimitBytes (4 MiB) waiting, each other
    // connection at most a logo (1 MiB), so about 100 MiB in all.
    static constexpr int connectionLimit = 64;
    static constexpr int viewerLimit = 16;

    TAVO_tuner_service(TAVO_tuner_lineup *lineup, bool allowEncrypted, const QString &deviceId, QObject *parent = nullptr);

    // The web page, to be guarded where the service listens beyond this computer.
    TAVO_tuner_page *webPage() { return &page; }
    // False with the reason when the address cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, QString *problem);

private:
    // Why a channel is not served: its status (0: it is), the reason a client is told and, for a
    // box in use, the error header HDHomeRun clients act on.
    struct Refusal
    {
        int status = 0;
        QString reason;
        QByteArray error;
    };

    void accept();
    void readHead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const TAVO_tuner_request &request);
    Refusal refusalAtViewerLimit() const;
    bool refuseBeyondViewerLimit(QTcpSocket *socket, const TAVO_tuner_request &request);
    void refuse(QTcpSocket *socket, const TAVO_tuner_request &request, const Refusal &refusal);
    void noteRefusal(const QTcpSocket *socket, const TAVO_tuner_request &request, int status, const QString &reason);
    void serveChannel(QTcpSocket *socket, const TAVO_tuner_request &request, const TAVO_tuner_box &box,
                      const QString &number);
    void serveAuto(QTcpSocket *socket, const TAVO_tuner_request &request, const QString &number);
    void serveLogo(QTcpSocket *socket, const TAVO_tuner_route &route, bool withBody);
    Refusal refusalBeforeLock(const TAVO_tuner_box &box, const QString &number) const;
    static Refusal refusalOfLock(const TAVO_tuner_box &box, TAVO_mgr_boxLock::Outcome outcome, const QString &detail);
    Refusal refusalAsked(const TAVO_tuner_box &box, const QString &number) const;
    static QByteArray headOf(const QList<Refusal> &refusals);
    TAVO_tuner_session *open(const TAVO_tuner_box &box, const QString &number, Refusal *refusal);
    void noteFailure(const QString &boxId, const QString &reason);
    QByteArray statusPage();
    QList<TAVO_tuner_box> tuners() const;
    static QString baseOf(const QTcpSocket *socket);

    TAVO_tuner_lineup *lineup;
    bool allowEncrypted;
    QString deviceId;
    QStringList ownNames;  // of this computer, as a request's Host may give them
    QTcpServer server;
    TAVO_tuner_page page;
    QMap<QString, TAVO_tuner_session *> sessions;  // by box id
    QMap<QString, QStringList> failures;           // by box id, the newest last
    QStringList refusals;                          // of clients' requests, the newest last
    TAVO_mgr_recordedBoxes holders;                // of the boxes this service does not hold
    TAVO_mgr_clientLimit clients{connectionLimit};
};

#endif
