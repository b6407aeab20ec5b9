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

// Composes frame `k` of the show at `fps` frames a second: at the song time
// the live clock would give it (whole milliseconds), after the cues heard by
// then (`*next_cue` is the first cue not yet applied; 0 before frame 0). The
// frame to record is show_frame_shown().
void capture_compose_frame(const song_rendering &song, int64_t k, int32_t fps, size_t *next_cue);
