#ifndef TAVO_RECORD_CHANNELKEYS_H
#define TAVO_RECORD_CHANNELKEYS_H

#include "TAVO_mgr_channelList.h"
#include "TAVO_mgr_defaultStructure.h"

#include <QDomElement>
#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>

// Tunes a box to a channel as the window's channel list would: the channel's keys from the box's
// list (its own sequence, or its digits and the key the box wants after them), one key command
// after the other at the list's pace, to the controller the box's remote-controller description
// names by default. A number the list lacks is typed as digits.
class TAVO_record_channelKeys : public QObject
{
    Q_OBJECT

public:
    // A remote-controller description is a few kilobytes; a box sending more is not read on.
    static constexpr qint64 controllerLimitBytes = 256 * 1024;

    explicit TAVO_record_channelKeys(const TAVO_SERVER &server, QObject *parent = nullptr);

    // The key names that tune `channel`, a number or a name of the box's list (names in any case);
    // empty when the list has no such name.
    static QStringList keysFor(const TAVO_mgr_channelList &list, const QString &channel);

    // tuned() or refused() follows once.
    void tune(const QString &channel);

Q_SIGNALS:
    void tuned();
    void refused(const QString &reason);

private:
    static QString supportedKeys(const QDomElement &root, const QString &controllerId);
    void controllerRead(QNetworkReply *reply);
    void sendNextKey();

    TAVO_SERVER server;
    QNetworkAccessManager network;
    QStringList keys;
    int pauseMs = 0;
    QString version;
    QString controllerId;
};

#endif
