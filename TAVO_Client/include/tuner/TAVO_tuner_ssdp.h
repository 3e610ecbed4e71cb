#ifndef TAVO_TUNER_SSDP_H
#define TAVO_TUNER_SSDP_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

// Announces the service by SSDP, where Plex and Channels DVR look for tuners: it answers searches
// for a media server, a root device, every device, an HDHomeRun or its own UDN with the address
// of its description (/device.xml), and says when it comes and goes. Only on the interfaces the
// service listens on, and only to a sender of that interface's network; its answers are bounded
// in number a second, whoever asks.
class TAVO_tuner_ssdp : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ssdpPort = 1900;
    static constexpr int maxAgeSeconds = 1800;
    // Announced again well within the time a control point keeps an announcement.
    static constexpr int announceEveryMs = maxAgeSeconds * 1000 / 3;
    static constexpr int answersPerSecond = 40;
    // A search is a few hundred bytes; whatever is longer is no search of ours to read.
    static constexpr int datagramLimitBytes = 2048;

    // Whether a service listening there is announced: beyond loopback only, over IPv4.
    static bool announces(const QHostAddress &listenAddress);
    // The targets this service is found by, its root device first.
    static QStringList targets(const QString &udn);
    // The answers to a datagram, one a target it asks for ("ssdp:all": each); none for anything
    // but an M-SEARCH of "ssdp:discover".
    static QList<QByteArray> answersTo(const QByteArray &datagram, const QString &udn, const QString &location);
    // A NOTIFY of the target: alive with the description's address, else byebye.
    static QByteArray notify(const QString &target, const QString &udn, const QString &location, bool alive);

    // `udn`: "uuid:…" (TAVO_tuner_deviceId::udnOf); `httpPort`: where the description is served.
    TAVO_tuner_ssdp(const QString &udn, quint16 httpPort, QObject *parent = nullptr);
    // Says byebye where it was announced.
    ~TAVO_tuner_ssdp() override;

    // Announces the service on the interfaces of `listenAddress` (each one for any address);
    // false with the reason when it cannot.
    bool start(const QHostAddress &listenAddress, QString *problem);

private:
    // An interface the service is announced on, and its address there.
    struct Place
    {
        int interfaceIndex = 0;
        QNetworkInterface interface;
        QNetworkAddressEntry entry;
    };

    void read();
    void announce(bool alive);
    void send(const QByteArray &datagram, const Place &place, const QHostAddress &to, quint16 port);
    bool mayAnswer();
    QString locationAt(const Place &place) const;
    const Place *placeOf(int interfaceIndex, const QHostAddress &sender) const;

    QString udn;
    quint16 httpPort;
    QList<Place> places;
    QUdpSocket socket;
    QTimer again;
    QElapsedTimer second;  // the current second of answers
    int answered = 0;      // in it
};

#endif
