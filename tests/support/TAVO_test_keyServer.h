#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A stand-in for a box's key command service on 127.0.0.1: answers every request on kept-alive
// connections with the status set for its key (200 unless told), or not at all for a silent
// key, and keeps the request lines in order of arrival.
class TAVO_test_keyServer : public QObject
{
    Q_OBJECT

public:
    TAVO_test_keyServer();

    bool listen();
    quint16 port() const { return server.serverPort(); }
    // "http://127.0.0.1:<port>/?src=1&ver=<version>&id=<id>&key=", the panel's prefix form.
    QString keyUrlPrefix(const QString &version = QStringLiteral("1.0"), const QString &id = QStringLiteral("1")) const;

    void setStatus(const QString &key, int status) { statuses.insert(key, status); }
    void setSilent(const QString &key) { silentKeys.insert(key); }
    // Answers 200 and then trickles a body that never ends.
    void setEndless(const QString &key) { endlessKeys.insert(key); }

    QStringList requestLines() const { return lines; }
    // The key= values of the requests, in order of arrival.
    QStringList keys() const;
    bool waitForRequests(int count, int timeoutMs = 5000) const;

private:
    void accept();
    void readRequests(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &requestLine);

    QTcpServer server;
    QHash<QString, int> statuses;
    QSet<QString> silentKeys;
    QSet<QString> endlessKeys;
    QStringList lines;
};
