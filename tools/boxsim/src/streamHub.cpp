#include "streamHub.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTcpSocket>

namespace {

constexpr int tsPacketBytes = 188;
constexpr int idleStopMs = 3000;
// A viewer this far behind is not reading any more; holding more for it only eats memory.
constexpr qint64 maxBacklogBytes = 16 * 1024 * 1024;
const char fontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char markerFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
const char overlayFileName[] = "overlay.txt";
const char markerFileName[] = "marker.txt";
// The marker: a white block in one of four slots on black, top right (1000, 40) to (1232, 155)
// in the 1280 × 720 picture, each slot 58 pixels wide; key command n lights slot n % 4.
constexpr int markerSlots = 4;
// The frame number: 16 blocks of 48 × 48 pixels from (48, 48), block k white for bit k of the
// frame's index since the encoder started, and a 17th white when an even number of the others
// are, so that an all-black row reads as no number. Whole blocks on the encoder's 16-pixel grid
// come through MPEG-2 at 3 Mbit/s pure black and white.
constexpr int frameNumberBits = 16;
constexpr int frameNumberLeft = 48;
constexpr int frameNumberTop = 48;
constexpr int frameNumberBlockSize = 48;
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

// drawbox filters switched on per frame by its index n, on a black row.
QString frameNumberFilter()
{
    const auto block = [](int index, const QString &when) {
        return QStringLiteral("drawbox=x=%1:y=%2:w=%3:h=%3:color=white:t=fill:enable='%4'")
            .arg(frameNumberLeft + index * frameNumberBlockSize)
            .arg(frameNumberTop)
            .arg(frameNumberBlockSize)
            .arg(when);
    };
    QStringList filters{QStringLiteral("drawbox=x=%1:y=%2:w=%3:h=%4:color=black:t=fill")
                            .arg(frameNumberLeft)
                            .arg(frameNumberTop)
                            .arg((frameNumberBits + 1) * frameNumberBlockSize)
                            .arg(frameNumberBlockSize)};
    QStringList bits;
    for (int bit = 0; bit < frameNumberBits; ++bit) {
        bits << QStringLiteral("mod(floor(n/%1),2)").arg(1 << bit);
        filters << block(bit, bits.last());
    }
    filters << block(frameNumberBits, QStringLiteral("eq(mod(%1,2),0)").arg(bits.join(QLatin1Char('+'))));
    return filters.join(QLatin1Char(','));
}

} // namespace

StreamHub::StreamHub(const QString &friendlyName, int hiccupPauseMs, int clockPpm, bool frameNumber, QObject *parent)
    : QObject(parent),
      m_friendlyName(friendlyName),
      m_lastKey(QStringLiteral("none")),
      m_hiccupPauseMs(hiccupPauseMs),
      m_clockPpm(clockPpm),
      m_frameNumber(frameNumber)
{
    m_encoder.setWorkingDirectory(m_overlayFolder.path());
    m_encoder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_encoder, &QProcess::readyReadStandardOutput, this, &StreamHub::forwardEncodedPackets);
    connect(&m_encoder, &QProcess::finished, this, [this] { dropAllViewers(); });
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleStopMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &StreamHub::stopEncoder);
    m_hiccupTimer.setSingleShot(true);
    connect(&m_hiccupTimer, &QTimer::timeout, this, &StreamHub::pauseOrResume);
    writeOverlay();
    writeMarker();
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
    QSaveFile overlay(m_overlayFolder.filePath(QLatin1String(overlayFileName)));
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
    QSaveFile marker(m_overlayFolder.filePath(QLatin1String(markerFileName)));
    if (!marker.open(QIODevice::WriteOnly))
        return;
    QString places(markerSlots, QLatin1Char(' '));
    places[m_keyCommands % markerSlots] = QChar(0x2588);
    marker.write(places.toUtf8());
    marker.commit();
}

QStringList StreamHub::encoderArguments() const
{
    QString drawtext = QStringLiteral("drawtext=textfile=%1:reload=1:fontsize=44:fontcolor=white:"
                                      "box=1:boxcolor=black@0.6:boxborderw=14:x=40:y=h-text_h-60:line_spacing=12")
                           .arg(QLatin1String(overlayFileName));
    if (QFile::exists(QLatin1String(fontFile)))
        drawtext += QStringLiteral(":fontfile=") + QLatin1String(fontFile);
    const QString marker = QStringLiteral("drawtext=textfile=%1:reload=1:fontfile=%2:fontsize=96:fontcolor=white:"
                                          "box=1:boxcolor=black:boxborderw=0:x=1000:y=40")
                               .arg(QLatin1String(markerFileName), QLatin1String(markerFontFile));
    QString pictureFilters = drawtext + QLatin1Char(',') + marker;
    if (m_frameNumber)
        pictureFilters += QLatin1Char(',') + frameNumberFilter();
    // Both sources are read at the box's clock rate: 1 is the real time (as -re).
    const QString readRate = QString::number(1 + m_clockPpm / 1e6, 'f', 6);
    return {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
            QStringLiteral("-nostdin"),
            QStringLiteral("-readrate"), readRate, QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("testsrc2=size=1280x720:rate=30"),
            QStringLiteral("-readrate"), readRate, QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("sine=frequency=440:sample_rate=48000"),
            QStringLiteral("-vf"), pictureFilters,
            QStringLiteral("-af"), QStringLiteral("volume=0.1"),
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
    m_paused = false;
    m_encoder.start(QStringLiteral("ffmpeg"), encoderArguments());
    if (m_hiccupPauseMs > 0)
        m_hiccupTimer.start(QRandomGenerator::global()->bounded(flowMinMs, flowMaxMs + 1));
}

void StreamHub::stopEncoder()
{
    m_hiccupTimer.stop();
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
        m_hiccupTimer.start(QRandomGenerator::global()->bounded(m_hiccupPauseMs / 4, m_hiccupPauseMs + 1));
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
