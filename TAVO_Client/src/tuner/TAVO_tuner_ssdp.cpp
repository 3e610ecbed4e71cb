#include "TAVO_tuner_ssdp.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QVariant>

Q_LOGGING_CATEGORY(lcTunerSsdp, "tavo.tuner.ssdp", QtInfoMsg)

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
// UPnP's choice for announcements: they reach the home network and no further.
constexpr int multicastTtl = 2;

QByteArray serverId()
{
    return "Linux UPnP/1.0 tavo-tuner/" + QCoreApplication::applicationVersion().toLatin1();
}

QString usnOf(const QString &target, const QString &udn)
{
    return target == udn ? udn : udn + QLatin1String("::") + target;
}

// The value of a header (its name in any case), trimmed; empty when there is none.
QByteArray headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

} // namespace

bool TAVO_tuner_ssdp::announces(const QHostAddress &listenAddress)
{
    return !listenAddress.isLoopback() && listenAddress.protocol() == QAbstractSocket::IPv4Protocol;
}

QStringList TAVO_tuner_ssdp::targets(const QString &udn)
{
    return {QStringLiteral("upnp:rootdevice"), udn, QStringLiteral("urn:schemas-upnp-org:device:MediaServer:1"),
            QStringLiteral("urn:silicondust-com:device:HDHomeRun:1")};
}

QList<QByteArray> TAVO_tuner_ssdp::answersTo(const QByteArray &datagram, const QString &udn, const QString &location)
{
    QList<QByteArray> lines = datagram.split('\n');
    for (QByteArray &line : lines)
        line = line.trimmed();
    if (lines.value(0) != "M-SEARCH * HTTP/1.1" || headerValue(lines, "man") != "\"ssdp:discover\"")
        return {};
    const QString asked = QString::fromLatin1(headerValue(lines, "st"));
    QStringList answered = targets(udn);
    if (asked != QLatin1String("ssdp:all"))
        answered.removeIf([&asked](const QString &target) { return target.compare(asked, Qt::CaseInsensitive) != 0; });
    QList<QByteArray> answers;
    for (const QString &target : std::as_const(answered)) {
        answers.append(QStringLiteral("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=%1\r\nEXT:\r\nLOCATION: %2\r\n"
                                      "SERVER: %3\r\nST: %4\r\nUSN: %5\r\n\r\n")
                           .arg(QString::number(maxAgeSeconds), location, QString::fromLatin1(serverId()), target,
                                usnOf(target, udn))
                           .toLatin1());
    }
    return answers;
}

QByteArray TAVO_tuner_ssdp::notify(const QString &target, const QString &udn, const QString &location, bool alive)
{
    const QString head = QStringLiteral("NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:%1\r\nNT: %2\r\nUSN: %3\r\n")
                             .arg(QString::number(ssdpPort), target, usnOf(target, udn));
    if (!alive)
        return (head + QLatin1String("NTS: ssdp:byebye\r\n\r\n")).toLatin1();
    return (head + QStringLiteral("NTS: ssdp:alive\r\nCACHE-CONTROL: max-age=%1\r\nLOCATION: %2\r\nSERVER: %3\r\n\r\n")
                       .arg(QString::number(maxAgeSeconds), location, QString::fromLatin1(serverId())))
        .toLatin1();
}

TAVO_tuner_ssdp::TAVO_tuner_ssdp(const QString &udn, quint16 httpPort, QObject *parent)
    : QObject(parent)
    , udn(udn)
    , httpPort(httpPort)
{
    connect(&socket, &QUdpSocket::readyRead, this, &TAVO_tuner_ssdp::read);
    connect(&again, &QTimer::timeout, this, [this] { announce(true); });
}

TAVO_tuner_ssdp::~TAVO_tuner_ssdp()
{
    announce(false);
}

bool TAVO_tuner_ssdp::start(const QHostAddress &listenAddress, QString *problem)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlags(QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanMulticast))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol
                && (listenAddress == QHostAddress::AnyIPv4 || entry.ip() == listenAddress))
                places.append({interface.index(), interface, entry});
        }
    }
    if (places.isEmpty()) {
        *problem = QStringLiteral("no interface that multicasts holds %1").arg(listenAddress.toString());
        return false;
    }
    if (!socket.bind(QHostAddress::AnyIPv4, ssdpPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *problem = QStringLiteral("UDP port %1: %2").arg(ssdpPort).arg(socket.errorString());
        places.clear();
        return false;
    }
    socket.setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(multicastTtl));
    for (const Place &place : std::as_const(places)) {
        if (!socket.joinMulticastGroup(ssdpGroup, place.interface))
            qCWarning(lcTunerSsdp).noquote() << "Not hearing searches on" << place.interface.humanReadableName()
                                             << socket.errorString();
        qCDebug(lcTunerSsdp).noquote() << "Announcing" << locationAt(place);
    }
    announce(true);
    again.start(announceEveryMs);
    return true;
}

void TAVO_tuner_ssdp::read()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram(datagramLimitBytes);
        const Place *place = placeOf(datagram.interfaceIndex(), datagram.senderAddress());
        if (!place)
            continue;
        const QList<QByteArray> answers = answersTo(datagram.data(), udn, locationAt(*place));
        for (const QByteArray &answer : answers) {
            if (!mayAnswer())
                return;
            send(answer, *place, datagram.senderAddress(), quint16(datagram.senderPort()));
        }
    }
}

void TAVO_tuner_ssdp::announce(bool alive)
{
    for (const Place &place : std::as_const(places)) {
        for (const QString &target : targets(udn))
            send(notify(target, udn, locationAt(place), alive), place, ssdpGroup, ssdpPort);
    }
}

void TAVO_tuner_ssdp::send(const QByteArray &datagram, const Place &place, const QHostAddress &to, quint16 port)
{
    socket.setMulticastInterface(place.interface);
    if (socket.writeDatagram(datagram, to, port) < 0)
        qCDebug(lcTunerSsdp).noquote() << "Not sent to" << to.toString() << socket.errorString();
}

// A sender that asks without end is answered as many times a second as anybody may be.
bool TAVO_tuner_ssdp::mayAnswer()
{
    if (!second.isValid() || second.hasExpired(1000)) {
        second.start();
        answered = 0;
    }
    return answered++ < answersPerSecond;
}

QString TAVO_tuner_ssdp::locationAt(const Place &place) const
{
    return QStringLiteral("http://%1:%2/device.xml").arg(place.entry.ip().toString()).arg(httpPort);
}

// The place a datagram came in at, when its sender is of that interface's network.
const TAVO_tuner_ssdp::Place *TAVO_tuner_ssdp::placeOf(int interfaceIndex, const QHostAddress &sender) const
{
    for (const Place &place : places) {
        if (place.interfaceIndex == interfaceIndex && sender.isInSubnet(place.entry.ip(), place.entry.prefixLength()))
            return &place;
    }
    return nullptr;
}
