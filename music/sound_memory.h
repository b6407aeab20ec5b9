// sound_memory.h - controls of the in-memory sound layer, for tests.
//
// Linked instead of the libxmp layer, sound.h's operations touch no device
// and no file: each call is recorded in order, its result is the one the
// test set, the song time is whatever the test set, and the test fires
// instrument callbacks itself.
//
//   sound_memory_reset();
//   sound_memory_set_load_result(0);     // the next loads fail
//   ... run the code under test ...
//   const sound_memory_call *calls = sound_memory_calls(&count);
#pragma once

#include "music/sound.h"

#include <cstdint>

enum sound_memory_call_kind {
  SOUND_MEMORY_VERSION,
  SOUND_MEMORY_INIT,
  SOUND_MEMORY_LOAD,
  SOUND_MEMORY_PLAY,
  SOUND_MEMORY_SET_CALLBACK,
  SOUND_MEMORY_TIME,
  SOUND_MEMORY_CLOSE,
};

struct sound_memory_call {
  sound_memory_call_kind kind;
  int32_t mixing_rate; // init
  int32_t channels;    // init
  uint32_t flags;      // init
  char path[64];       // load, cut to fit
  sound_song *song;    // play, set callback, time
  sound_instrument_callback callback; // set callback
  int32_t instrument;                 // set callback
};

// Forgets calls and callbacks; version 4.5, init and load succeed, time 0.
void sound_memory_reset();
void sound_memory_set_version(float version);
void sound_memory_set_init_result(int result);
void sound_memory_set_load_result(int result);
void sound_memory_set_time(int32_t milliseconds);

// The calls so far, oldest first (at most 64 are kept).
const sound_memory_call *sound_memory_calls(int32_t *count);
// The song handle loads hand out.
sound_song *sound_memory_song();
// Calls the callback installed for `instrument`, as the song playing a note
// of it would. 1 when one was installed, 0 otherwise.
int sound_memory_fire(int32_t instrument);
