#include "streamHub.h"

#include <QRandomGenerator>
#include <QSaveFile>
#include <QTcpSocket>

namespace {

constexpr int tsPacketBytes = 188;
constexpr int idleStopMs = 3000;
// A viewer this far behind is not reading any more; holding more for it only eats memory.
constexpr qint64 maxBacklogBytes = 16 * 1024 * 1024;
// The marker: a white block in one of four slots on black, top right (1000, 40) to (1232, 155)
// in the 1280 × 720 picture, each slot 58 pixels wide; key command n lights slot n % 4.
constexpr int markerSlots = 4;
// With hiccups the stream flows for 100–400 ms, then stops for a quarter of the longest pause
// to all of it: with the usual 200 ms, about three pauses a second.
constexpr int flowMinMs = 100;
constexpr int flowMaxMs = 400;

// drawtext expands %{...} and backslash escapes in the text; names are shown literally.
QString literalForDrawtext(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    return text;
}

} // namespace

StreamHub::StreamHub(const QString &friendlyName, const Knobs &knobs, QObject *parent)
    : QObject(parent),
      m_friendlyName(friendlyName),
      m_knobs(knobs),
      m_lastKey(QStringLiteral("none"))
{
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleStopMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &StreamHub::endStream);
    m_hiccupTimer.setSingleShot(true);
    connect(&m_hiccupTimer, &QTimer::timeout, this, &StreamHub::pauseOrResume);
    m_programmeTimer.setSingleShot(true);
    m_programmeTimer.setInterval(knobs.programmeChangeAfterMs);
    connect(&m_programmeTimer, &QTimer::timeout, this, &StreamHub::changeProgramme);
    writeOverlay();
    writeMarker();
}

StreamHub::~StreamHub()
{
    stopEncoder();
}

void StreamHub::addViewer(QTcpSocket *socket, const EncoderArguments::Request &request)
{
    m_idleTimer.stop();
    m_viewers.append(socket);
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { dropViewer(socket); });
    EncoderArguments::Stream wanted = EncoderArguments::requested(m_knobs.defaults, request, m_knobs.forcedVideoCodec);
    if (!m_encoder) {
        m_stream = wanted;
        startEncoder();
        if (m_knobs.programmeChangeAfterMs > 0)
            m_programmeTimer.start();
        return;
    }
    wanted.programmeMap = m_stream.programmeMap;
    if (wanted == m_stream)
        return;
    m_stream = wanted;
    stopEncoder();
    startEncoder();
}

void StreamHub::showKeyCommand(const QString &description)
{
    m_lastKey = description;
    ++m_keyCommands;
    writeOverlay();
    writeMarker();
}

void StreamHub::showChannel(const QString &line)
{
    m_channel = line;
    writeOverlay();
}

// Written whole and renamed into place: the encoder rereads the file for every frame and
// must never see half of it.
void StreamHub::writeOverlay()
{
    QSaveFile overlay(m_overlayFolder.filePath(QLatin1String(EncoderArguments::overlayFileName)));
    if (!overlay.open(QIODevice::WriteOnly))
        return;
    overlay.write(literalForDrawtext(m_friendlyName).toUtf8() + "\n%{localtime}\nLast key: "
                  + literalForDrawtext(m_lastKey).toUtf8()
                  + (m_channel.isEmpty() ? QByteArray() : "\n" + literalForDrawtext(m_channel).toUtf8()));
    overlay.commit();
}

// Spaces and one full block in a fixed-width font: the block's place tells the key commands
// apart without reading text.
void StreamHub::writeMarker()
{
    QSaveFile marker(m_overlayFolder.filePath(QLatin1String(EncoderArguments::markerFileName)));
    if (!marker.open(QIODevice::WriteOnly))
        return;
    QString places(markerSlots, QLatin1Char(' '));
    places[m_keyCommands % markerSlots] = QChar(0x2588);
    marker.write(places.toUtf8());
    marker.commit();
}

void StreamHub::startEncoder()
{
    m_pending.clear();
    m_paused = false;
    m_encoder = new QProcess(this);
    m_encoder->setWorkingDirectory(m_overlayFolder.path());
    m_encoder->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_encoder, &QProcess::readyReadStandardOutput, this, &StreamHub::forwardEncodedPackets);
    connect(m_encoder, &QProcess::finished, this, [this] {
        dropAllViewers();
        endStream();
    });
    // Both sources are read at the box's clock rate: 1 is the real time (as -re).
    m_encoder->start(QStringLiteral("ffmpeg"), EncoderArguments::live(m_stream, 1 + m_knobs.clockPpm / 1e6));
    if (m_knobs.hiccupPauseMs > 0)
        m_hiccupTimer.start(QRandomGenerator::global()->bounded(flowMinMs, flowMaxMs + 1));
}

// The encoder that ends here takes nobody's stream with it: a new one may follow at once.
void StreamHub::stopEncoder()
{
    m_hiccupTimer.stop();
    if (!m_encoder)
        return;
    disconnect(m_encoder, nullptr, this, nullptr);
    m_encoder->kill();
    m_encoder->waitForFinished(2000);
    m_encoder->deleteLater();
    m_encoder = nullptr;
}

// The next viewer starts the box's stream afresh.
void StreamHub::endStream()
{
    m_programmeTimer.stop();
    stopEncoder();
}

// As a box whose encoder starts again with other settings: the same connections carry a
// programme with other PIDs and the next version of its tables.
void StreamHub::changeProgramme()
{
    ++m_stream.programmeMap;
    stopEncoder();
    startEncoder();
}

// Only whole transport packets go out, so a viewer that joins later starts on a packet
// boundary and its demuxer synchronises at once.
void StreamHub::forwardEncodedPackets()
{
    m_pending += m_encoder->readAllStandardOutput();
    if (m_paused)
        return;
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

// The encoder keeps going during a pause, as a box's would; what it makes meanwhile goes out
// at once when the pause ends, as a stalled network connection catches up.
void StreamHub::pauseOrResume()
{
    m_paused = !m_paused;
    if (m_paused) {
        m_hiccupTimer.start(QRandomGenerator::global()->bounded(m_knobs.hiccupPauseMs / 4, m_knobs.hiccupPauseMs + 1));
        return;
    }
    m_hiccupTimer.start(QRandomGenerator::global()->bounded(flowMinMs, flowMaxMs + 1));
    forwardEncodedPackets();
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

void StreamHub::dropAllViewers(bool midPacket)
{
    // The head of a null packet (PID 0x1FFF), which the encoder itself never sends.
    static const QByteArray packetHead = QByteArray("\x47\x1f\xff\x10", 4) + QByteArray(96, '\xff');
    const QList<QPointer<QTcpSocket>> viewers = m_viewers;
    for (const QPointer<QTcpSocket> &viewer : viewers) {
        if (!viewer)
            continue;
        if (midPacket)
            viewer->write(packetHead);
        viewer->disconnectFromHost();
    }
}
