#ifndef TAVO_MGR_CHANNELKEYS_H
#define TAVO_MGR_CHANNELKEYS_H

#include "TAVO_mgr_defaultStructure.h"
#include "TAVO_mgr_keySender.h"
#include "TAVO_mgr_rcuFetch.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>

// Tunes a box to a channel as the window's channel list would: the channel's keys from the box's
// list, one key command after the other at the list's pace, to the controller the box's
// remote-controller description names by default, read and chosen as the window's panel does.
class TAVO_mgr_channelKeys : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_mgr_channelKeys(const TAVO_SERVER &server, QObject *parent = nullptr);

    // How a channel is asked for: a tuner's routes name numbers only, a person a number or a name.
    enum class Asked { ByNumber, ByNumberOrName };

    // tuned() or refused() follows once.
    void tune(const QString &channel, Asked asked);
    // The same by keys given (names of the key table), at the pace of the box's list if there is one.
    void tuneByKeys(const QStringList &given);

Q_SIGNALS:
    void tuned();
    void refused(const QString &reason);

private:
    void fetchController();
    void controllerRead(const TAVO_mgr_rcuFetch::Controller &controller);
    void sendNextKey();
    void keyAnswered(int status);
    void keyFailed(const QString &why);

    TAVO_SERVER server;
    QNetworkAccessManager network;
    TAVO_mgr_keySender sender;
    QStringList keys;
    QString sentKey;
    int pauseMs = 0;
    QString commandPrefix;
};

#endif
