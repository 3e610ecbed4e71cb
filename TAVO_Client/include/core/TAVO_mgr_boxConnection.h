#ifndef TAVO_MGR_BOXCONNECTION_H
#define TAVO_MGR_BOXCONNECTION_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_streamFailure.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QSslError;

// One request for a box's stream: it asks the box, with its credentials, checks an encrypted
// box's key, hands on what comes and tells why it ended. What it keeps unread is bounded; a box
// that answers nothing, or stops sending once the stream flowed, is given up.
class TAVO_mgr_boxConnection : public QObject
{
    Q_OBJECT

public:
    // Bytes a reader that holds the stream leaves waiting; the box's sending waits meanwhile.
    static constexpr qint64 readBufferBytes = 1024 * 1024;
    // A box that takes the connection but sends no stream is given up after this.
    static constexpr int answerLimitMs = 10000;
    // A stream that flowed and then sends nothing for this long is as lost as one that ended
    // (a box that vanished without closing the connection).
    static constexpr int stallLimitMs = 8000;

    // Asks `server`'s box at `url` (its credentials in the URL's user part).
    TAVO_mgr_boxConnection(const TAVO_SERVER &server, const QString &url, QObject *parent);
    ~TAVO_mgr_boxConnection() override;

    // The stream flows: from now on a silence is a stall.
    void setFlowing();
    // While held, nothing is read: the box waits.
    void setHeld(bool held);

Q_SIGNALS:
    void arrived(const QByteArray &bytes);
    // The connection is over, after which it is deleted. `failure` says what the box did; it
    // is the stall when a stream that flowed stopped.
    void ended(const TAVO_mgr_streamFailure &failure);

private:
    void read();
    void finished();
    void heardNothing();
    void checkPeerKey(const QList<QSslError> &errors);
    TAVO_mgr_streamFailure failure() const;
    void endWith(const TAVO_mgr_streamFailure &failure);

    TAVO_SERVER server;
    QNetworkAccessManager network;
    QPointer<QNetworkReply> reply;
    QTimer silence;
    bool flowing = false;
    bool held = false;
    bool keyMismatch = false;
    bool endWhenRead = false;  // the box closed while a reader held the stream
    bool over = false;
};

#endif
