#include "simulatedBox.h"

#include "channelReceiver.h"
#include "documents.h"
#include "httpService.h"
#include "ssdpAnnouncer.h"
#include "streamHub.h"
#include "unicastSearch.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace {

// The port and the credentials of the encrypted stream are fixed in every box.
constexpr quint16 encryptedStreamPort = 8194;
const QByteArray streamCredentials = "admin:5820417369";

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/boxsim/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QSslConfiguration tlsConfiguration(bool otherKey)
{
    const QString prefix = otherKey ? QStringLiteral("other") : QStringLiteral("box");
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(resource(prefix + QStringLiteral("_cert.pem"))));
    tls.setPrivateKey(QSslKey(resource(prefix + QStringLiteral("_key.pem")), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return tls;
}

bool hasStreamCredentials(const HttpRequest &request)
{
    return request.headers.value("authorization") == "Basic " + streamCredentials.toBase64();
}

StreamHub::Knobs streamKnobs(const BoxConfig &config)
{
    StreamHub::Knobs knobs;
    knobs.defaults.gopSeconds = config.gopSeconds;
    knobs.defaults.intraRefresh = config.intraRefresh;
    knobs.defaults.clockNearWrap = config.clockNearWrap;
    knobs.defaults.frameNumber = config.streamFrameNumber;
    knobs.forcedVideoCodec = config.videoCodec;
    knobs.hiccupPauseMs = config.streamHiccups ? config.streamHiccupPauseMs : 0;
    knobs.clockPpm = config.streamClockPpm;
    knobs.programmeChangeAfterMs = config.pmtChangeAfterMs;
    return knobs;
}

// What the box's stream request chooses.
EncoderArguments::Request streamRequest(const HttpRequest &request)
{
    return {request.queryItem(QStringLiteral("vcodec")), request.queryItem(QStringLiteral("res")),
            request.queryItem(QStringLiteral("fps")), request.queryItem(QStringLiteral("bitrate"))};
}

} // namespace

SimulatedBox::SimulatedBox(const BoxConfig &config, const QString &logDir, QObject *parent)
    : QObject(parent),
      m_config(config),
      m_log(QDir(logDir).filePath(config.uuid + QStringLiteral(".log"))),
      m_stream(new StreamHub(config.friendlyName, streamKnobs(config), this)),
      m_receiver(new ChannelReceiver(config.channelConfirmKey, config.channelEntryPauseMs, config.channelNames,
                                     QDir(logDir).filePath(config.uuid + QStringLiteral(".channel")), this))
{
    connect(m_receiver, &ChannelReceiver::shown, m_stream, [this] { m_stream->showChannel(m_receiver->pictureLine()); });
}

SimulatedBox::~SimulatedBox() = default;

bool SimulatedBox::start(QString *error)
{
    if (!m_log.open(error))
        return false;
    if (!listen(QStringLiteral("description"), m_config.descriptionPort, &SimulatedBox::serveDescriptions, error)
        || !listen(QStringLiteral("stream"), m_config.streamingPort, &SimulatedBox::serveStream, error)
        || !listen(QStringLiteral("rcu"), m_config.rcuPort, &SimulatedBox::serveKeyCommand, error)
        || !listen(QStringLiteral("query"), m_config.queryPort, &SimulatedBox::serveQuery, error)
        || !listen(QStringLiteral("web"), m_config.webPort, &SimulatedBox::serveWebPage, error))
        return false;
    if (m_config.isEncrypted() && !listenForEncryptedStream(error))
        return false;
    return startSsdp(error);
}

bool SimulatedBox::startSsdp(QString *error)
{
    if (m_config.answersSearchAtItsAddress()) {
        auto *responder = new UnicastSearchResponder(m_config.address, m_config.uuid, m_config.deviceType,
                                                     m_config.descriptionLocation(), &m_log, this);
        if (!responder->start(error))
            return false;
    }
    if (!m_config.announces())
        return true;
    m_announcer = std::make_unique<SsdpAnnouncer>(m_config.address, m_config.uuid, m_config.deviceType,
                                                  m_config.descriptionLocation(), m_config.maxAgeSeconds);
    return m_announcer->start(error);
}

bool SimulatedBox::listen(const QString &service, quint16 port,
                          void (SimulatedBox::*handler)(const HttpRequest &, QTcpSocket *), QString *error)
{
    auto *http = new HttpService(&m_log, m_config.isSilent(service),
                                 [this, handler](const HttpRequest &request, QTcpSocket *socket) {
                                     (this->*handler)(request, socket);
                                 },
                                 this);
    return http->listen(m_config.address, port, error);
}

bool SimulatedBox::listenForEncryptedStream(QString *error)
{
    auto *https = new HttpService(&m_log, m_config.isSilent(QStringLiteral("stream")),
                                  [this](const HttpRequest &request, QTcpSocket *socket) {
                                      serveEncryptedStream(request, socket);
                                  },
                                  this);
    return https->listen(m_config.address, encryptedStreamPort, error, tlsConfiguration(m_config.otherTlsKey));
}

void SimulatedBox::serveDescriptions(const HttpRequest &request, QTcpSocket *socket)
{
    const QString path = request.path();
    if (path == QLatin1String("/description.xml"))
        serveDocument(m_config.description, &m_descriptionAnswers, deviceDescription(m_config), socket);
    else if (path == QStringLiteral("/rcu/") + m_config.rcuFile)
        serveDocument(m_config.rcu, &m_rcuAnswers, remoteControllerDescription(m_config), socket);
    else if (path == QLatin1String("/icon.png"))
        sendResponse(socket, 200, "image/png", resource(QStringLiteral("icon.png")));
    else
        sendResponse(socket, 404);
}

void SimulatedBox::serveDocument(const DocumentKnobs &configured, int *answered, const QByteArray &document,
                                 QTcpSocket *socket)
{
    const DocumentKnobs knobs = configured.appliesTo((*answered)++) ? configured : DocumentKnobs();
    if (knobs.delayMs <= 0) {
        answerDocument(knobs, document, socket);
        return;
    }
    QTimer::singleShot(knobs.delayMs, socket,
                       [this, knobs, document, socket] { answerDocument(knobs, document, socket); });
}

void SimulatedBox::answerDocument(const DocumentKnobs &knobs, const QByteArray &document, QTcpSocket *socket)
{
    if (knobs.status != 200)
        sendResponse(socket, knobs.status);
    else if (!knobs.redirect.isEmpty())
        sendResponse(socket, 301, {}, {}, {{"Location", knobs.redirect.toUtf8()}});
    else if (knobs.hasBody)
        sendResponse(socket, 200, "text/xml; charset=\"utf-8\"", knobs.body.toUtf8());
    else if (knobs.endless)
        sendEndlessDocument(socket, document);
    else
        sendResponse(socket, 200, "text/xml; charset=\"utf-8\"", document + paddingComment(knobs.oversizeBytes));
}

void SimulatedBox::setAnnounced(bool announced)
{
    if (m_announcer)
        m_announcer->setAvailable(announced);
}

void SimulatedBox::serveStream(const HttpRequest &request, QTcpSocket *socket)
{
    if (!m_streamDown.hasExpired()) {
        sendResponse(socket, 503);
        return;
    }
    if (!m_config.streamBody.isEmpty()) {
        sendResponse(socket, 200, "text/html", m_config.streamBody.toUtf8());
        return;
    }
    if (m_config.streamErrorPage) {
        sendResponse(socket, 200, "text/html", streamErrorPage());
        return;
    }
    if (m_config.streamDropAfterMs > 0 && !m_streamDropScheduled) {
        m_streamDropScheduled = true;
        QTimer::singleShot(m_config.streamDropAfterMs, this, [this] {
            m_streamDown.setRemainingTime(m_config.streamDownMs);
            m_streamDropScheduled = !m_config.streamDropRepeats;
            if (m_config.streamStall)
                m_stream->forgetViewers();
            else
                m_stream->dropAllViewers(m_config.streamDropMidPacket);
        });
    }
    sendEndlessResponseHead(socket, "video/mp2t");
    if (request.method == "HEAD")
        socket->disconnectFromHost();
    else
        m_stream->addViewer(socket, streamRequest(request));
}

void SimulatedBox::serveEncryptedStream(const HttpRequest &request, QTcpSocket *socket)
{
    if (hasStreamCredentials(request))
        serveStream(request, socket);
    else
        sendResponse(socket, 401, "text/plain", "Unauthorized\n",
                     {{"WWW-Authenticate", "Basic realm=\"TavoStreamer\""}});
}

void SimulatedBox::serveKeyCommand(const HttpRequest &request, QTcpSocket *socket)
{
    const int status = keyCommandStatus(request);
    m_stream->showKeyCommand(QStringLiteral("%1 (controller %2) -> %3")
                                 .arg(request.queryItem(QStringLiteral("key")),
                                      request.queryItem(QStringLiteral("id")))
                                 .arg(status));
    if (status == 200)
        m_receiver->keyAccepted(request.queryItem(QStringLiteral("key")));
    sendResponse(socket, status);
}

int SimulatedBox::keyCommandStatus(const HttpRequest &request) const
{
    if (request.queryItem(QStringLiteral("ver")) != m_config.rcuVersion)
        return 432;
    const QString id = request.queryItem(QStringLiteral("id"));
    const bool knownController = std::any_of(m_config.controllers.cbegin(), m_config.controllers.cend(),
                                             [&id](const ControllerConfig &controller) { return controller.id == id; });
    if (!knownController)
        return 433;
    return m_config.keyStatus.value(request.queryItem(QStringLiteral("key")), 200);
}

void SimulatedBox::serveQuery(const HttpRequest &, QTcpSocket *socket)
{
    sendResponse(socket, 200, "text/plain", "OK\n");
}

void SimulatedBox::serveWebPage(const HttpRequest &request, QTcpSocket *socket)
{
    if (request.path() == QLatin1String("/"))
        sendResponse(socket, 200, "text/html; charset=utf-8", webPage(m_config));
    else
        sendResponse(socket, 404);
}
