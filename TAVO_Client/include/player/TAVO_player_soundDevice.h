#ifndef TAVO_PLAYER_SOUNDDEVICE_H
#define TAVO_PLAYER_SOUNDDEVICE_H

// Whether there is a sound device for libVLC to play into, asked before a stream starts: without
// one libVLC tries again for every piece of sound it decodes, and ALSA writes its complaint to
// the terminal each time, hundreds of lines a second.
class TAVO_player_soundDevice
{
public:
    // A PulseAudio server counts (libVLC plays into it first), else ALSA's default output must
    // open; ALSA is asked quietly. True when it cannot be told.
    static bool present();
};

#endif
