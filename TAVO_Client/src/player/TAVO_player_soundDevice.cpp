#include "TAVO_player_soundDevice.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QtGlobal>

#include <dlfcn.h>

namespace {

// ALSA's C interface, the few calls asked for; libVLC's ALSA output loads the same library.
using AlsaErrorHandler = void (*)(const char *, int, const char *, int, const char *, ...);
using SetErrorHandler = int (*)(AlsaErrorHandler);
using PcmOpen = int (*)(void **, const char *, int, int);
using PcmClose = int (*)(void *);
constexpr int playbackStream = 0;  // SND_PCM_STREAM_PLAYBACK
constexpr int nonBlocking = 1;     // SND_PCM_NONBLOCK

void quiet(const char *, int, const char *, int, const char *, ...) {}

bool pulseAudioServerKnown()
{
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("PULSE_SERVER")
        || (!runtimeFolder.isEmpty() && QFileInfo::exists(runtimeFolder + QLatin1String("/pulse/native")));
}

bool alsaDefaultOpens()
{
    static void *const alsa = dlopen("libasound.so.2", RTLD_LAZY);
    if (!alsa)
        return true;
    const auto setErrorHandler = reinterpret_cast<SetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    const auto open = reinterpret_cast<PcmOpen>(dlsym(alsa, "snd_pcm_open"));
    const auto close = reinterpret_cast<PcmClose>(dlsym(alsa, "snd_pcm_close"));
    if (!setErrorHandler || !open || !close)
        return true;
    setErrorHandler(quiet);
    void *pcm = nullptr;
    const bool opened = open(&pcm, "default", playbackStream, nonBlocking) == 0;
    if (opened)
        close(pcm);
    setErrorHandler(nullptr);
    return opened;
}

} // namespace

const QString TAVO_player_soundDevice::missingNotice = QStringLiteral("No sound device: playing the picture alone");

TAVO_player_soundDevice::TAVO_player_soundDevice(QObject *parent)
    : QObject(parent)
{
}

bool TAVO_player_soundDevice::present()
{
    return pulseAudioServerKnown() || alsaDefaultOpens();
}

const char *TAVO_player_soundDevice::audioOutputForNewPlayer()
{
    if (!known && !present())
        noteMissing();
    return known ? "adummy" : nullptr;
}

bool TAVO_player_soundDevice::isMissing() const
{
    return known;
}

void TAVO_player_soundDevice::lookAgain()
{
    if (known && present() && known.exchange(false))
        Q_EMIT found(missingNotice);
}

// Queued, so that a listener never runs inside libVLC's call or inside the start of a player.
void TAVO_player_soundDevice::noteMissing()
{
    if (!known.exchange(true))
        QMetaObject::invokeMethod(this, [this] { Q_EMIT missing(missingNotice); }, Qt::QueuedConnection);
}
