#include "TAVO_player_vlcLog.h"

#include "TAVO_player_soundDevice.h"

#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcVlc, "tavo.player.vlc", QtInfoMsg)

namespace {

// What libVLC's file output says when a write fails ("cannot write: No space left on device").
const QString writeFailure = QStringLiteral("cannot write: ");
// What libVLC's TLS layer says of every box's key, which no authority signed: the key pinned in
// the known-hosts file then answers for it, and the line is kept to tell a start that failed on
// another key.
const char untrustedCertificate[] = "Certificate verification failure";

// A line may quote what a box sent (its error page's status line); none of its control
// characters reaches the terminal, where they would move the cursor or retitle the window.
void replaceControlCharacters(char *text)
{
    for (char *at = text; *at; ++at) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte < 0x20 || byte == 0x7f)
            *at = '?';
    }
}

// Hides "user:password@" after a scheme's "//", in place.
void hideCredentials(char *text)
{
    for (char *authority = std::strstr(text, "://"); authority; authority = std::strstr(authority, "://")) {
        authority += 3;
        const size_t length = std::strcspn(authority, "/@ \t\r\n");
        if (length == 0 || authority[length] != '@')
            continue;
        std::memmove(authority + 1, authority + length, std::strlen(authority + length) + 1);
        authority[0] = '*';
    }
}

// At the end of every buffering, at a start and after every raise of the delay (which throws
// away what the decoders held), libVLC's input waits for each decoder's first output
// (input_DecoderWait in src/input/decoder.c); a decoder that has used up its input without one
// yet would wait for the input in turn, so libVLC stops waiting and says so. Nothing is dropped
// there: the clock starts, and the decoder's output follows with its next data.
bool isBufferingEnd(const char *text)
{
    return std::strstr(text, "buffer deadlock prevented") != nullptr;
}

using Failure = TAVO_player_vlcLog::Failure;

// Why a start failed, from what libVLC said while it failed.
Failure failureFrom(const QStringList &lines, const QString &host)
{
    const auto said = [&lines](const QString &text) {
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&text](const QString &line) { return line.contains(text, Qt::CaseInsensitive); });
    };
    if (said(QLatin1String(untrustedCertificate)))
        return Failure::keyNotPinned(host);
    if (said(QStringLiteral("HTTP 401")))
        return Failure::credentialsRefused();
    if (said(QStringLiteral("Connection refused")))
        return Failure::connectionRefused();
    if (said(QStringLiteral("timed out")))
        return Failure::timedOut();
    static const QRegularExpression httpError(QStringLiteral("HTTP (\\d{3}) error"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = httpError.match(line);
        if (match.hasMatch())
            return Failure::httpStatus(match.captured(1).toInt());
    }
    return {};
}

} // namespace

TAVO_player_vlcLog::TAVO_player_vlcLog(const TAVO_player_soundDevice *soundDevice, QObject *parent)
    : QObject(parent)
    , soundDevice(soundDevice)
{
}

// A raised delay is libVLC's ordinary work on a live stream, a score of lines at every start, and
// each raise ends in a buffering: neither is written to the terminal nor kept.
void TAVO_player_vlcLog::errorLine(const char *objectType, const char *text)
{
    char hidden[2048];
    std::snprintf(hidden, sizeof hidden, "%s", text);
    hideCredentials(hidden);
    replaceControlCharacters(hidden);
    if (std::strstr(hidden, "failed to create audio output"))
        Q_EMIT soundOutputFailed();
    if (isExpectedSoundLine(objectType, hidden) || noteRaisedDelay(hidden) || isBufferingEnd(hidden)) {
        qCDebug(lcVlc, "libVLC error: %s", hidden);
        return;
    }
    if (std::strstr(hidden, untrustedCertificate))
        qCDebug(lcVlc, "libVLC error: %s", hidden);
    else
        std::fprintf(stderr, "libVLC error: %s\n", hidden);
    const QString line = QString::fromUtf8(hidden);
    keep(line);
    const qsizetype at = line.indexOf(writeFailure);
    if (at >= 0)
        Q_EMIT fileWriteFailed(line.mid(at + writeFailure.size()));
}

// Once the device is known to be missing, what the audio outputs say about it (each new player
// still tries them: no PulseAudio server, no ALSA card) has been said on the status line.
bool TAVO_player_vlcLog::isExpectedSoundLine(const char *objectType, const char *text) const
{
    const bool fromAudioOutput = objectType && std::strcmp(objectType, "audio output") == 0;
    return soundDevice->isMissing() && (fromAudioOutput || std::strstr(text, "audio output"));
}

bool TAVO_player_vlcLog::noteRaisedDelay(const char *text)
{
    const char *raise = std::strstr(text, "pts_delay increased to ");
    int delayMs = 0;
    if (!raise || std::sscanf(raise, "pts_delay increased to %d ms", &delayMs) != 1)
        return false;
    raisedDelay = delayMs;
    Q_EMIT delayRaised(delayMs);
    return true;
}

void TAVO_player_vlcLog::keep(const QString &line)
{
    constexpr int keptLines = 32;
    const std::lock_guard<std::mutex> lock(linesLock);
    if (lines.size() < keptLines)
        lines.append(line);
}

void TAVO_player_vlcLog::newStream()
{
    raisedDelay = 0;
    const std::lock_guard<std::mutex> lock(linesLock);
    lines.clear();
}

int TAVO_player_vlcLog::raisedDelayMs() const
{
    return raisedDelay;
}

TAVO_player_vlcLog::Failure TAVO_player_vlcLog::failure(const QString &host) const
{
    const std::lock_guard<std::mutex> lock(linesLock);
    return failureFrom(lines, host);
}
