// sound_compare RECORDING.wav SONG.xm [--skip-seconds S] [--seconds L] [--max-gap-ms N] [--min-correlation R]
// Says whether a recording of what a program played is the song, rendered
// here by the show's own player at the recording's rate: one line
//   offset <s> correlation <r> longest-gap <ms> song-longest-gap <ms> gaps <n> skips <n> skipped-ms <ms>
// and exit status 0 when it is (a correlation of SAME_SONG_CORRELATION or the
// given one at least; and, with --max-gap-ms, no gap is longer),
// 1 when not, 2 on bad input. With --seconds, only L seconds after the skip
// are compared (a moment placed on its own).
#include "music/sound.h"
#include "tests/support/recording_match.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

// Envelopes of the same song, played and recorded, correlate above 0.95;
// another song, or a recording with long stretches missing, stays well below.
constexpr double SAME_SONG_CORRELATION = 0.8;

int main(int argc, char **argv) {
  double skip_seconds = 0, seconds = 0, max_gap_ms = -1, min_correlation = SAME_SONG_CORRELATION;
  if (argc < 3) {
    std::fprintf(stderr, "usage: sound_compare RECORDING.wav SONG.xm [--skip-seconds S] [--seconds L] [--max-gap-ms N] [--min-correlation R]\n");
    return 2;
  }
  for (int i = 3; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--skip-seconds")) skip_seconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--max-gap-ms")) max_gap_ms = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--min-correlation")) min_correlation = std::atof(argv[i + 1]);
    else return std::fprintf(stderr, "sound_compare: unknown option %s\n", argv[i]), 2;
  }
  stereo_sound recording;
  std::string error;
  if (!read_wav(argv[1], &recording, &error)) return std::fprintf(stderr, "sound_compare: %s\n", error.c_str()), 2;
  if (seconds > 0) {
    const auto kept = size_t(2 * int64_t((skip_seconds + seconds) * recording.rate));
    if (kept < recording.samples.size()) recording.samples.resize(kept);
  }
  std::ifstream in(argv[2], std::ios::binary);
  const std::vector<char> module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  // One pass of the song, then as much again as the recording is long: a
  // recording may start anywhere in the song and run on over its loop.
  const int64_t pass = sound_render(module.data(), int64_t(module.size()), recording.rate, 0, nullptr, nullptr, 0, nullptr);
  if (pass <= 0) return std::fprintf(stderr, "sound_compare: %s: not a song the player plays\n", argv[2]), 2;
  stereo_sound song;
  song.rate = recording.rate;
  song.samples.resize(size_t(2 * (pass + recording.frames())));
  sound_render(module.data(), int64_t(module.size()), song.rate, song.frames(), song.samples.data(), nullptr, 0, nullptr);

  const recording_match match = match_recording(recording, song, int64_t(skip_seconds * recording.rate));
  std::printf("offset %.3f correlation %.3f longest-gap %.0f song-longest-gap %.0f gaps %d skips %d skipped-ms %.0f\n",
              match.offset_seconds, match.correlation, match.longest_gap_ms, match.song_longest_gap_ms,
              match.gaps, match.skips, match.skipped_ms);
  if (match.correlation < min_correlation) return 1;
  return max_gap_ms >= 0 && match.longest_gap_ms > max_gap_ms ? 1 : 0;
}
