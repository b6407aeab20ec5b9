// capture_song.h - the show played offline, frame by frame, for the tools that
// record or check it: the song's sound track and cues from the sound layer's
// offline rendering, and each frame composed by the show's own frame routine.
#pragma once

#include "music/sound.h"

#include <cstdint>
#include <string>
#include <vector>

// The song's sound track and the cues it plays.
struct song_rendering {
  std::vector<int16_t> samples; // interleaved stereo
  std::vector<sound_cue> cues;
  int64_t frames = 0;
};

// Renders `seconds` of the song (0: one pass, up to where it starts again)
// from the current folder. `program` names the tool in the message for a
// missing song.
bool render_song(double seconds, const char *program, song_rendering *out, std::string *error);

// Brings the show up to output frame `k` of a recording at `fps` frames a
// second: the show composes 60 frames a second whatever the recording's rate
// (as on any screen), so this composes every show frame due by then, each at
// the song time the live clock gives it (whole milliseconds), after the cues
// heard by then. `*next_cue` is the first cue not yet applied and `*composed`
// the show frames composed so far (both 0 before frame 0). The frame to
// record is show_frame_shown(): the last one composed, written again for
// every output frame it covers.
void capture_compose_frame(const song_rendering &song, int64_t k, int32_t fps, size_t *next_cue,
                           int64_t *composed);
