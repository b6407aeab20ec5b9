// sound_output.h - where the libxmp sound layer (sound_xmp.cpp) sends its
// samples: the output device, one file per kind chosen by the build:
//   sound_output_sdl.cpp  SDL2 audio (Linux, Windows)
//   sound_output_web.cpp  the browser: an AudioWorklet fed ahead of time
//
// The layer hands the output its fill routine. The output calls it on its
// own thread, `frames` interleaved 16-bit stereo frames at a time, each time
// it needs sound. When what it is handed plays is the output's to say
// (sound_output_timing_of, below): the song clock and the cues count on it.
#pragma once

#include <cstdint>

typedef void (*sound_output_fill)(int16_t *out, int32_t frames);
typedef void (*sound_output_heard)(int64_t frames);

// Opens the output at `mixing_rate` Hz with buffers of `buffer_frames`,
// paused. 1/0.
int sound_output_open(int32_t mixing_rate, int32_t buffer_frames, sound_output_fill fill);
// Whether the output is open.
int sound_output_is_open();
// While locked, the fill routine does not run.
void sound_output_lock();
void sound_output_unlock();
// Starts calling the fill routine.
void sound_output_resume();
// Closes the output; the fill routine has returned for good when it returns.
// It waits only a moment for the output's own thread: one blocked inside the
// audio library (an open while a sound server is away) is left there, and
// the next open fails until it has come out; the process may end under it.
void sound_output_close();
enum sound_output_timing : int32_t {
  // At each call of the fill routine, the buffer filled by the call before
  // starts playing (a device: SDL2 audio on ALSA, Windows).
  SOUND_OUTPUT_DOUBLE_BUFFERED = 0,
  // Each buffer starts playing as it is filled: SDL2 audio through a sound
  // server, which SDL hands a buffer only once the server has taken the
  // whole of the one before, and which plays it within its own short cycle.
  SOUND_OUTPUT_PLAYS_AS_FILLED,
  // Handed its sound far ahead (the browser's): the output reports how many
  // of the frames it was handed since it opened have played, by calling
  // `heard` on the fill routine's thread.
  SOUND_OUTPUT_REPORTS_HEARD,
};
// When the open output plays what it is handed; `heard` is called only by an
// output that reports. Asked once, after open and before resume.
sound_output_timing sound_output_timing_of(sound_output_heard heard);
