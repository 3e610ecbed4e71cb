#pragma once

#include "boxConfig.h"
#include "requestLog.h"

#include <QDeadlineTimer>
#include <QObject>
#include <memory>

class ChannelReceiver;
class HttpService;
class QTcpSocket;
class SsdpAnnouncer;
class StreamHub;
struct DocumentKnobs;
struct HttpRequest;

// One streamer box on its own address: description server, stream (plain, and HTTPS when
// encrypted), key command service, query port, web page and the UPnP announcement.
class SimulatedBox : public QObject
{
    Q_OBJECT

public:
    SimulatedBox(const BoxConfig &config, const QString &logDir, QObject *parent = nullptr);
    ~SimulatedBox() override;

    bool start(QString *error);
    // Says UPnP byebye (false) or announces the box again (true); the services keep running.
    void setAnnounced(bool announced);

private:
    bool listen(const QString &service, quint16 port, void (SimulatedBox::*handler)(const HttpRequest &, QTcpSocket *),
                QString *error);
    bool listenForEncryptedStream(QString *error);
    bool startSsdp(QString *error);
    void serveDescriptions(const HttpRequest &request, QTcpSocket *socket);
    void serveDocument(const DocumentKnobs &knobs, int *answered, const QByteArray &document, QTcpSocket *socket);
    void answerDocument(const DocumentKnobs &knobs, const QByteArray &document, QTcpSocket *socket);
    void serveStream(const HttpRequest &request, QTcpSocket *socket);
    void serveEncryptedStream(const HttpRequest &request, QTcpSocket *socket);
    void serveKeyCommand(const HttpRequest &request, QTcpSocket *socket);
    int keyCommandStatus(const HttpRequest &request) const;
    void serveQuery(const HttpRequest &request, QTcpSocket *socket);
    void serveWebPage(const HttpRequest &request, QTcpSocket *socket);

    BoxConfig m_config;
    RequestLog m_log;
    StreamHub *m_stream;
    ChannelReceiver *m_receiver;
    std::unique_ptr<SsdpAnnouncer> m_announcer;
    int m_descriptionAnswers = 0;
    int m_rcuAnswers = 0;
    bool m_streamDropScheduled = false;
    QDeadlineTimer m_streamDown;
};
