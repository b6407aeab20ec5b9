// Whether a recording of what a program played is a given song: where in the
// song it sits, how alike the two loudness envelopes are there, and the
// longest silence the recording has where the song itself is not silent (a
// gap: the output starved, or stopped).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Interleaved 16-bit stereo at `rate` Hz.
struct stereo_sound {
  int32_t rate = 0;
  std::vector<int16_t> samples;
  int64_t frames() const { return int64_t(samples.size() / 2); }
};

// Reads a 16-bit stereo PCM WAV file; a header whose data size was never
// filled in (a recorder that was killed) reads to the end of the file.
bool read_wav(const std::string &path, stereo_sound *sound, std::string *error);

struct recording_match {
  double offset_seconds = 0; // where in `song` the recording's first frame sits
  double correlation = 0;    // of the two envelopes there, -1 .. 1
  double longest_gap_ms = 0; // silence in the recording, between sounds, while the song sounds
  double song_longest_gap_ms = 0; // the song's own longest silence over the same span
  int32_t gaps = 0;                // how many such silences
  int32_t skips = 0;         // stretches of the song dropped (or repeated) without a silence
  double skipped_ms = 0;     // how much in all
};

// Compares `recording` (after skipping `skip_frames`) with every position of
// `song` (same rate; at least as long as the recording past any offset that
// is to be found). The offset is placed to about a millisecond by the first
// 2 s after the skip: a player whose rate drifts a little is placed there.
// The likeness is that of the best single placement, or of the recording
// followed piece by piece through drops and repeats (`skips`), the higher.
recording_match match_recording(const stereo_sound &recording, const stereo_sound &song,
                                int64_t skip_frames);
