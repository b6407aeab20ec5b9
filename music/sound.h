// sound.h - the sound layer: what the show needs from a module player.
//
// Implementations, chosen at link time:
//   sound_xmp.cpp     libxmp playing through SDL2 audio (the program's)
//   sound_memory.cpp  in memory, driven by tests
//
// A song is played by the layer on its own thread. An instrument callback is
// called each time the song triggers a note of that instrument, when that
// note becomes audible, possibly on the layer's thread.
#pragma once

#include <cstdint>

struct sound_song; // opaque module handle

typedef void (*sound_instrument_callback)(sound_song *song, int32_t parameter);

// The player's version as a float (4.5 for 4.5.0).
float sound_version();
// Opens the output: mixing rate in Hz, software channels, flags (0). 1/0.
int sound_init(int32_t mixing_rate, int32_t channels, uint32_t flags);
// Loads a module file; nullptr when the player refuses it.
sound_song *sound_load_song(const char *path);
// Starts playback from the beginning; the song loops by itself. 1/0.
int sound_play_song(sound_song *song);
// Installs `callback` for notes of `instrument` (numbered from 1). 1/0.
int sound_set_instrument_callback(sound_song *song, sound_instrument_callback callback,
                                  int32_t instrument);
// Milliseconds of the song played out so far; never goes backwards.
int32_t sound_song_time(sound_song *song);
