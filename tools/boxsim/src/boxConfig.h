#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct ControllerConfig
{
    QString id;
    QString name;
    QString supportKeys;
};

// How one of a box's documents (device description, remote-controller description) is
// answered; the knobs let tests provoke every failure a real box could show.
struct DocumentKnobs
{
    int status = 200;
    QString redirect;
    QString body;
    bool hasBody = false;
    int delayMs = 0;
    int oversizeBytes = 0;
    // The body never ends: padding follows the document until the client hangs up.
    bool endless = false;
    // The first this many requests get the ordinary document; the knobs above apply to later
    // ones. A box can thus pass one reader's check and then turn on the next reader.
    int plainAnswers = 0;
    // When above 0, only this many requests after the plain ones meet the knobs; later ones
    // get the ordinary document again (a box whose web server comes up late).
    int faultyAnswers = 0;

    // Whether the request numbered `request` (from 0) meets the knobs.
    bool appliesTo(int request) const
    {
        return request >= plainAnswers && (faultyAnswers <= 0 || request < plainAnswers + faultyAnswers);
    }
};

struct BoxConfig
{
    QString friendlyName = QStringLiteral("Streamer");
    QString uuid;
    QHostAddress address;
    quint16 descriptionPort = 49152;
    quint16 streamingPort = 8080;
    quint16 rcuPort = 8090;
    quint16 queryPort = 8091;
    quint16 webPort = 80;
    QString encryption;
    QString deviceType = QStringLiteral("urn:vornex-com:device:TavoStreamer:1");
    // SSDP's CACHE-CONTROL max-age; the box announces itself again every max-age / 3 - 1 s
    // (every max-age seconds when that is 6 or less).
    int maxAgeSeconds = 1800;
    QString rcuFile = QStringLiteral("remote.xml");
    QString rcuVersion = QStringLiteral("1.0");
    QString defaultId;
    QString totalAmount;
    QList<ControllerConfig> controllers;
    // When above 0, each controller's supportKeys repeats its own keys up to this many bytes.
    int supportKeysBytes = 0;
    QMap<QString, int> keyStatus;
    DocumentKnobs description;
    DocumentKnobs rcu;
    QStringList silent;
    bool otherTlsKey = false;
    // Once, this long after the first viewer came, the stream ends for every viewer, and for
    // streamDownMs after that the stream port answers 503: a box that restarts under its viewers.
    int streamDropAfterMs = 0;
    int streamDownMs = 0;
    // The drop comes again with the first viewer after each drop: a box that restarts for ever.
    bool streamDropRepeats = false;
    // The stream then stops without ending: the viewers' connections stay open and silent, as
    // when a box loses its power or its cable.
    bool streamStall = false;
    // The stream ends in the middle of a transport packet (the first bytes of a null packet),
    // as a connection cut off under load does.
    bool streamDropMidPacket = false;
    // When set, the stream port answers with this page (status 200) instead of the stream, as a
    // box in trouble does.
    QString streamBody;
    // How the box speaks SSDP: "multicast" (announces, and answers every search, also one sent
    // to its own address), "multicastOnly" (the same but deaf to a search sent to its own
    // address, as some devices are), "unicast" (no multicast reaches it: it answers only a
    // search sent to its own address) or "none".
    QString ssdp = QStringLiteral("multicast");
    // The stream's writes pause now and then, as on a busy network.
    bool streamHiccups = false;
    // The longest pause of the hiccups; they last from a quarter of it to all of it.
    int streamHiccupPauseMs = 200;
    // The box's clock against the real one, in parts per million: its encoder makes the
    // stream that much faster (positive) or slower, as a box whose crystal is off does.
    int streamClockPpm = 0;
    // Every picture carries its frame number as a row of black and white blocks, which a
    // program reads back from a player's screen to count the pictures shown and the freezes.
    bool streamFrameNumber = false;
    // Seconds between the stream's pictures that decode alone (HDMI encoders send 2 to 4).
    double gopSeconds = 0.5;
    // When set, the box sends this video whatever a request asks: "mpeg2", "h264", "hevc" or
    // "none" (sound only, as on a radio channel: no video track at all).
    QString videoCodec;
    // H.264 refreshed by a sweeping column of intra blocks, with no IDR picture after the first.
    bool intraRefresh = false;
    // This long after the encoder started, it starts again with another programme map (other
    // PIDs, the next table version) on the viewers' open connections.
    int pmtChangeAfterMs = 0;
    // The stream's clock starts a few seconds before its 33-bit wrap.
    bool clockNearWrap = false;
    // The stream ports answer 200 with a small HTML error page and close, as some boxes do
    // while their encoder is down.
    bool streamErrorPage = false;
    // The receiver behind the box: the key that confirms typed digits (none: the pause does),
    // how long it waits for the next digit, and the names it shows for channel numbers.
    QString channelConfirmKey;
    int channelEntryPauseMs = 1500;
    QMap<QString, QString> channelNames;

    bool isEncrypted() const { return encryption == QLatin1String("AES128"); }
    bool isSilent(const QString &service) const { return silent.contains(service); }
    bool announces() const { return ssdp.startsWith(QLatin1String("multicast")); }
    bool answersSearchAtItsAddress() const { return ssdp == QLatin1String("multicast") || ssdp == QLatin1String("unicast"); }
    QString descriptionLocation() const;
};

// Reads {"boxes": [ ... ]}; on a fault returns no boxes and explains it in `error`.
QList<BoxConfig> readBoxConfigs(const QByteArray &json, QString *error);
