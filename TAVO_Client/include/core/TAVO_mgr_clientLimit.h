#ifndef TAVO_MGR_CLIENTLIMIT_H
#define TAVO_MGR_CLIENTLIMIT_H

#include <QList>
#include <QPointer>
#include <QTcpSocket>

// How many clients a server holds at once. A client counts until its socket is gone, whoever
// holds the socket by then: a count kept by signals loses clients whose connections are handed on.
class TAVO_mgr_clientLimit
{
public:
    explicit TAVO_mgr_clientLimit(int limit)
        : limit(limit)
    {
    }

    // Takes `socket` on as a client; false, with the socket closed, when the limit is reached.
    bool admit(QTcpSocket *socket)
    {
        clients.removeIf([](const QPointer<QTcpSocket> &client) { return client.isNull(); });
        if (clients.size() >= limit) {
            socket->abort();
            socket->deleteLater();
            return false;
        }
        clients.append(socket);
        return true;
    }

private:
    int limit;
    QList<QPointer<QTcpSocket>> clients;
};

#endif
