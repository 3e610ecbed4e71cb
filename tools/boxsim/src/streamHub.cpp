#include "streamHub.h"

#include <QFile>
#include <QSaveFile>
#include <QTcpSocket>

namespace {

constexpr int tsPacketBytes = 188;
constexpr int idleStopMs = 3000;
// A viewer this far behind is not reading any more; holding more for it only eats memory.
constexpr qint64 maxBacklogBytes = 16 * 1024 * 1024;
const char fontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char overlayFileName[] = "overlay.txt";

// drawtext expands %{...} and backslash escapes in the text; names are shown literally.
QString literalForDrawtext(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    return text;
}

} // namespace

StreamHub::StreamHub(const QString &friendlyName, QObject *parent)
    : QObject(parent), m_friendlyName(friendlyName), m_lastKey(QStringLiteral("none"))
{
    m_encoder.setWorkingDirectory(m_overlayFolder.path());
    m_encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_encoder, &QProcess::readyReadStandardOutput, this, &StreamHub::forwardEncodedPackets);
    connect(&m_encoder, &QProcess::finished, this, &StreamHub::dropAllViewers);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleStopMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &StreamHub::stopEncoder);
    writeOverlay();
}

StreamHub::~StreamHub()
{
    disconnect(&m_encoder, nullptr, this, nullptr);
    stopEncoder();
}

void StreamHub::addViewer(QTcpSocket *socket)
{
    m_idleTimer.stop();
    m_viewers.append(socket);
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { dropViewer(socket); });
    if (m_encoder.state() == QProcess::NotRunning)
        startEncoder();
}

void StreamHub::showKeyCommand(const QString &description)
{
    m_lastKey = description;
    writeOverlay();
}

// Written whole and renamed into place: the encoder rereads the file for every frame and
// must never see half of it.
void StreamHub::writeOverlay()
{
    QSaveFile overlay(m_overlayFolder.filePath(QLatin1String(overlayFileName)));
    if (!overlay.open(QIODevice::WriteOnly))
        return;
    overlay.write(literalForDrawtext(m_friendlyName).toUtf8() + "\n%{localtime}\nLast key: "
                  + literalForDrawtext(m_lastKey).toUtf8());
    overlay.commit();
}

QStringList StreamHub::encoderArguments() const
{
    QString drawtext = QStringLiteral("drawtext=textfile=%1:reload=1:fontsize=44:fontcolor=white:"
                                      "box=1:boxcolor=black@0.6:boxborderw=14:x=40:y=h-text_h-60:line_spacing=12")
                           .arg(QLatin1String(overlayFileName));
    if (QFile::exists(QLatin1String(fontFile)))
        drawtext += QStringLiteral(":fontfile=") + QLatin1String(fontFile);
    return {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
            QStringLiteral("-nostdin"),
            QStringLiteral("-re"), QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("testsrc2=size=1280x720:rate=30"),
            QStringLiteral("-re"), QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("sine=frequency=440:sample_rate=48000"),
            QStringLiteral("-vf"), drawtext, QStringLiteral("-af"), QStringLiteral("volume=0.1"),
            QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-b:v"), QStringLiteral("3M"),
            QStringLiteral("-maxrate"), QStringLiteral("3M"), QStringLiteral("-bufsize"), QStringLiteral("1500k"),
            QStringLiteral("-g"), QStringLiteral("15"),
            QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("128k"),
            QStringLiteral("-ac"), QStringLiteral("2"),
            QStringLiteral("-f"), QStringLiteral("mpegts"), QStringLiteral("pipe:1")};
}

void StreamHub::startEncoder()
{
    m_pending.clear();
    m_encoder.start(QStringLiteral("ffmpeg"), encoderArguments());
}

void StreamHub::stopEncoder()
{
    if (m_encoder.state() == QProcess::NotRunning)
        return;
    m_encoder.kill();
    m_encoder.waitForFinished(2000);
}

// Only whole transport packets go out, so a viewer that joins later starts on a packet
// boundary and its demuxer synchronises at once.
void StreamHub::forwardEncodedPackets()
{
    m_pending += m_encoder.readAllStandardOutput();
    const qsizetype whole = m_pending.size() - m_pending.size() % tsPacketBytes;
    if (whole == 0)
        return;
    const QByteArray packets = m_pending.left(whole);
    m_pending.remove(0, whole);
    const QList<QPointer<QTcpSocket>> viewers = m_viewers;
    for (const QPointer<QTcpSocket> &viewer : viewers) {
        if (!viewer)
            continue;
        if (viewer->bytesToWrite() > maxBacklogBytes)
            viewer->abort();
        else
            viewer->write(packets);
    }
}

void StreamHub::dropViewer(QTcpSocket *socket)
{
    m_viewers.removeIf([socket](const QPointer<QTcpSocket> &viewer) { return !viewer || viewer == socket; });
    if (m_viewers.isEmpty())
        m_idleTimer.start();
}

void StreamHub::forgetViewers()
{
    for (const QPointer<QTcpSocket> &viewer : std::as_const(m_viewers)) {
        if (viewer)
            disconnect(viewer, nullptr, this, nullptr);
    }
    m_viewers.clear();
    m_idleTimer.start();
}

void StreamHub::dropAllViewers()
{
    const QList<QPointer<QTcpSocket>> viewers = m_viewers;
    for (const QPointer<QTcpSocket> &viewer : viewers) {
        if (viewer)
            viewer->disconnectFromHost();
    }
}
