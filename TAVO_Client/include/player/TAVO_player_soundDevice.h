#ifndef TAVO_PLAYER_SOUNDDEVICE_H
#define TAVO_PLAYER_SOUNDDEVICE_H

#include <QObject>
#include <QString>

#include <atomic>

// Whether there is a sound device for libVLC to play into, and what the player does without one.
// Without a device libVLC tries again to open one for every piece of sound it decodes, each time
// with error lines, and ALSA writes its complaint to the terminal, hundreds of lines a second. So
// once the device is known to be missing, looked for before a stream starts or found out by
// libVLC, later streams play their picture alone, and the user hears why once; at the user's
// next Start the device is looked for again, as it may have come back (a headset plugged in).
class TAVO_player_soundDevice : public QObject
{
    Q_OBJECT

public:
    static const QString missingNotice;

    explicit TAVO_player_soundDevice(QObject *parent = nullptr);

    // A PulseAudio server counts (libVLC plays into it first), else ALSA's default output must
    // open; ALSA is asked quietly. True when it cannot be told.
    static bool present();

    // The audio output a new player is given: none (libVLC chooses) while a device is there.
    // Without one, libVLC's "adummy", which still decodes the sound in step with the picture, for
    // a recording, but plays none. The device is looked for while it is not known to be missing.
    const char *audioOutputForNewPlayer();
    bool isMissing() const;
    // Looks again for a device known to be missing; found, the next player plays into it.
    void lookAgain();
    // libVLC found no device to play into; safe on any thread.
    void noteMissing();

Q_SIGNALS:
    // Told once, on the GUI thread, after the call that found the device missing has returned.
    void missing(const QString &notice);
    // The device known to be missing is there again: `notice` no longer holds.
    void found(const QString &notice);

private:
    // Read and set on libVLC's threads too.
    std::atomic_bool known{false};
};

#endif
