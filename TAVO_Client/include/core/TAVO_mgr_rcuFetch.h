#ifndef TAVO_MGR_RCUFETCH_H
#define TAVO_MGR_RCUFETCH_H

#include "TAVO_mgr_defaultStructure.h"

#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;

// Reads a box's remote-controller description within a bound of bytes and of time (a box that
// sends without end, or nothing, is refused) and chooses its default controller as the window's
// panel does, for every program that presses a box's keys.
class TAVO_mgr_rcuFetch : public QObject
{
    Q_OBJECT

public:
    // A remote-controller description is a few kilobytes; a box sending more is not read on.
    static constexpr qint64 limitBytes = 256 * 1024;
    // A box on the home network sends it at once; one that has not within the time a key
    // command is given is not waited for.
    static constexpr int timeLimitMs = 5000;

    // The default controller and the command prefix of its keys (TAVO_mgr_keyCommand).
    struct Controller
    {
        TAVO_KEY keys;
        QString commandPrefix;
    };

    // `network` is the caller's, with no proxy and no redirects followed.
    TAVO_mgr_rcuFetch(const TAVO_SERVER &server, QNetworkAccessManager *network, QObject *parent = nullptr);

    // read() or refused() follows once.
    void start();

Q_SIGNALS:
    void read(const TAVO_mgr_rcuFetch::Controller &controller);
    void refused(const QString &reason);

private:
    void finished(QNetworkReply *reply);

    TAVO_SERVER server;
    QNetworkAccessManager *network;
    QString cutShort;  // why the description was not read to its end
};

#endif
