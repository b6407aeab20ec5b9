// music.h - the show's sound track and clock.
//
// One tracker module plays by itself for the whole run. Its play time is the
// show's clock, and notes of three of its instruments are the show's cues.
//
// music_start runs the start-up sequence over the sound layer (sound.h):
// version check, initialisation (32000 Hz, 64 channels), loading "RETRO.XM"
// from the current directory, play, then the three cue handlers the caller
// gives. 1 on success with *song set, 0 when the version, the initialisation
// or the load fails (the play and handler results are not tested). A failed
// load closes the sound layer again, so no audio thread is left running.
#pragma once

#include "files/data_files.h"
#include "music/sound.h"

#include <cstdint>

constexpr int32_t MUSIC_MIXING_RATE = 32000;
constexpr int32_t MUSIC_CHANNELS = 64;
constexpr const char *MUSIC_SONG_FILE = DATA_FILES[DATA_FILE_SONG].name;

// Instruments whose notes are cues, numbered from 1 as trackers number them.
constexpr int32_t CUE_INSTRUMENT_NEXT_SCENE = 3;
constexpr int32_t CUE_INSTRUMENT_LOGO = 4;
constexpr int32_t CUE_INSTRUMENT_CREDITS = 6;

// What the song's cues call, on the frame loop's thread (music_run_cues); a
// null handler leaves that cue unheard.
struct music_cue_handlers {
  sound_instrument_callback next_scene; // notes of CUE_INSTRUMENT_NEXT_SCENE
  sound_instrument_callback logo;       // notes of CUE_INSTRUMENT_LOGO
  sound_instrument_callback credits;    // notes of CUE_INSTRUMENT_CREDITS
};

int music_start(const music_cue_handlers *handlers, sound_song **song);

// Milliseconds of the song as heard `ahead_ns` from now, when the frame
// composed now is expected on screen: the output's last report moved on by
// the steady clock since it, never more than a buffer past the report, and
// never less than an earlier call gave. So from frame to frame the time
// moves on by a frame's time, not in steps of a buffer.
int32_t music_time_ms(sound_song *song, int64_t ahead_ns);
// Runs the handlers of the song's cues heard by the time music_time_ms gave
// last, in order: called after sampling a frame's time and before composing
// it, so that a cue's picture is the first frame expected on screen at or
// after its note is heard.
void music_run_cues(sound_song *song);
// The arithmetic of it, in microseconds: `played_us` reported at
// `reported_at_ns` (0: unknown, taken as now), heard at `at_ns` on the same
// clock, and not less than `earliest_us`.
int64_t music_smooth_us(int64_t played_us, int64_t reported_at_ns, int64_t at_ns,
                        int64_t earliest_us);

// For the process's end: closes the sound layer (the cue handlers have
// returned for good) without waiting long on a sound thread blocked inside
// the audio library, which is left there (sound_output.h).
void music_stop();
