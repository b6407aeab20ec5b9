// sound_xmp_song.h - the libxmp layer's song: loading an extended module,
// rendering it one tick at a time and finding the notes each tick triggers.
// Private to sound_xmp.cpp and sound_render.cpp; the device side and the
// offline rendering drive the same code.
#pragma once

#include "music/sound.h"

#include <xmp.h>

#include <atomic>
#include <cstdint>

// Instrument numbers a cell can hold.
constexpr int32_t SOUND_INSTRUMENT_SLOTS = 256;

struct sound_song {
  xmp_context context;
  const xmp_module *module;
  int32_t mixing_rate;

  // Cue tracking, advanced tick by tick on the thread that renders.
  int32_t channel_instrument[XMP_MAX_CHANNELS]; // last instrument named on each channel, 0 none
  bool channel_played[XMP_MAX_CHANNELS];        // the channel has triggered a note
  int32_t delayed_instrument[XMP_MAX_CHANNELS]; // note-delayed trigger waiting in this row
  int32_t delayed_tick[XMP_MAX_CHANNELS];       // its tick, -1 none
  int64_t rendered;                             // sample frames rendered before the current tick

  // The current tick's output, handed out piece by piece.
  const int16_t *tick_samples;
  int32_t tick_frames;
  int32_t tick_offset;

  // Frame loop and audio thread.
  std::atomic<int64_t> played; // sample frames the device has taken
  std::atomic<int64_t> played_at_ns; // the steady clock when `played` last moved on
  std::atomic<sound_instrument_callback> callbacks[SOUND_INSTRUMENT_SLOTS];
};

// Loads a module held in memory; nullptr when refused, `*verdict` saying why
// (a sound_verdict). Modules with more than `max_channels` channels are
// refused.
sound_song *sound_xmp_load(const uint8_t *data, int64_t size, int32_t max_channels,
                           int32_t *verdict);
void sound_xmp_free(sound_song *song);

// Starts the player at the beginning of the song. 1/0.
int sound_xmp_start(sound_song *song, int32_t mixing_rate);

// Renders the next tick into song->tick_samples and appends the notes it
// triggers to `cues` (room for XMP_MAX_CHANNELS), their sample position
// being the tick's first frame. `*loop_count` gets how many times the song
// has wrapped. 0 when the player fails to produce sound.
int sound_xmp_next_tick(sound_song *song, sound_cue *cues, int32_t *cue_count,
                        int32_t *loop_count);
