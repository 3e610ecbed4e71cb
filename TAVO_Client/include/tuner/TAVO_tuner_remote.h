#ifndef TAVO_TUNER_REMOTE_H
#define TAVO_TUNER_REMOTE_H

#include "TAVO_mgr_keySender.h"
#include "TAVO_mgr_rcuFetch.h"
#include "TAVO_tuner_lineup.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QQueue>

class QTcpSocket;

// One box's remote for the web page: the keys of its default controller, and the keys and
// channels its browsers press, sent one at a time in the order they came (whichever browser
// sent them), each answered to its browser once the box has taken or refused it.
class TAVO_tuner_remote : public QObject
{
    Q_OBJECT

public:
    // Presses waiting beyond the one under way; a browser pressing more is told to wait.
    static constexpr int waitingLimit = 32;

    TAVO_tuner_remote(const TAVO_tuner_box &box, QObject *parent = nullptr);

    // The box's record as last heard: a box that moved is asked at its new address, its
    // controller read again.
    void follow(const TAVO_tuner_box &heard);
    // Answers the keys the box's default controller offers, read from the box again.
    void describe(QTcpSocket *client);
    // key: a name of tavoKeyFlags; number: a channel of the box's list.
    void press(QTcpSocket *client, const QString &key);
    void tune(QTcpSocket *client, const QString &number);

    // The answers, as JSON: the keys offered, a press carried out, a press refused (with the
    // box's status, when it named one).
    static QByteArray keysJson(const TAVO_KEY &controller);
    static QByteArray refusalJson(const QString &text, int status = 0);

private:
    enum class Kind { Describe, Key, Channel };
    struct Press
    {
        Kind kind;
        QString value;
        QPointer<QTcpSocket> client;
    };

    void enqueue(Press press);
    void next();
    void withController(const std::function<void()> &then);
    void carryOut();
    void settle(const QByteArray &json);
    void keyAnswered(int status);
    void keyFailed(TAVO_mgr_keySender::Failure failure);

    TAVO_tuner_box box;
    QNetworkAccessManager network;
    TAVO_mgr_keySender sender;
    std::optional<TAVO_mgr_rcuFetch::Controller> controller;
    QQueue<Press> waiting;
    std::optional<Press> current;
};

#endif
