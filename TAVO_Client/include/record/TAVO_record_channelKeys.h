#ifndef TAVO_RECORD_CHANNELKEYS_H
#define TAVO_RECORD_CHANNELKEYS_H

#include "TAVO_mgr_defaultStructure.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>

// Tunes a box to a channel by its number, as the window's remote panel would: the digit keys,
// one key command after the other, to the controller the box's remote-controller description
// names by default.
class TAVO_record_channelKeys : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_record_channelKeys(const TAVO_SERVER &server, QObject *parent = nullptr);

    // The key names that type the number ("101" gives NUM_1, NUM_0, NUM_1). A channel named in
    // the box's channel list comes here as its number.
    static QStringList keysFor(const QString &digits);

    // tuned() or refused() follows once.
    void tune(const QString &digits);

Q_SIGNALS:
    void tuned();
    void refused(const QString &reason);

private:
    void controllerRead(QNetworkReply *reply);
    void sendNextKey();

    TAVO_SERVER server;
    QNetworkAccessManager network;
    QStringList keys;
    QString version;
    QString controllerId;
};

#endif
