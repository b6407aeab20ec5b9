// sound_output.h - where the libxmp sound layer (sound_xmp.cpp) sends its
// samples: the output device, one file per kind chosen by the build:
//   sound_output_sdl.cpp  SDL2 audio (Linux, Windows)
//   sound_output_web.cpp  the browser: an AudioWorklet fed ahead of time
//
// The layer hands the output its fill routine. The output calls it on its
// own thread, `frames` interleaved 16-bit stereo frames at a time, each time
// it needs sound. Unless the output reports what has been heard (below), the
// buffer filled by the call before starts playing then (double buffering),
// which is what the song clock and the cues count on.
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
void sound_output_close();
// An output that knows better than double buffering when its sound plays
// (the browser's, handed its sound far ahead; SDL's through a sound server,
// which plays each buffer as it is handed) reports how many of the frames it
// was handed since it opened have started playing, by calling `heard` on the
// fill routine's thread, and returns 1; a double-buffered output returns 0
// and never calls it. Asked once, after open and before resume.
int sound_output_report_heard(sound_output_heard heard);
