#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;
class RequestLog;

// Answers an M-SEARCH sent to the box's own address on port 1900, as UPnP Device Architecture
// 1.1 requires: alone, the SSDP side of a box that no multicast reaches (a box behind client
// isolation or a VPN), which never announces and hears no multicast search; beside the
// announcer, the way a control point that knows a box's address asks it directly. Each search
// is logged as "1900 M-SEARCH * HTTP/1.1".
class UnicastSearchResponder : public QObject
{
    Q_OBJECT

public:
    UnicastSearchResponder(const QHostAddress &address, const QString &uuid, const QString &deviceType,
                           const QString &location, RequestLog *log, QObject *parent = nullptr);

    bool start(QString *error);

private:
    void readSearches();
    bool isOwnTypeOrOlder(const QString &searchTarget) const;
    // The USN for a search target the box answers, or empty text for one it does not.
    QString usnFor(const QString &searchTarget) const;

    QHostAddress m_address;
    QString m_uuid;
    QString m_deviceType;
    QString m_location;
    RequestLog *m_log;
    QUdpSocket *m_socket;
};
