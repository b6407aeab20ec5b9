// The recording comparer finds a piece of the show's song inside the song, at
// another volume, with a hole cut into it, follows one with stretches dropped,
// and tells an unrelated sound apart.
#include "music/sound.h"
#include "tests/support/recording_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace {

stereo_sound render_show_song(int32_t rate, double seconds) {
  std::ifstream in(QUARVELIN_SHOW_DIR "/RETRO.XM", std::ios::binary);
  const std::vector<char> module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  stereo_sound song;
  song.rate = rate;
  song.samples.resize(size_t(2 * int64_t(seconds * rate)));
  EXPECT_EQ(sound_render(module.data(), int64_t(module.size()), rate, song.frames(), song.samples.data(),
                         nullptr, 0, nullptr),
            song.frames());
  return song;
}

stereo_sound excerpt(const stereo_sound &song, double from, double seconds, double gain) {
  stereo_sound part;
  part.rate = song.rate;
  const size_t first = size_t(2 * int64_t(from * song.rate));
  for (size_t i = 0; i < size_t(2 * int64_t(seconds * song.rate)); ++i)
    part.samples.push_back(int16_t(std::lround(song.samples[first + i] * gain)));
  return part;
}

TEST(RecordingMatch, FindsTheSongAndItsGapsAndRefusesAnotherSound) {
  const int32_t rate = 48000;
  const stereo_sound song = render_show_song(rate, 30);
  // Between two of the search's 10 ms steps: placed to the millisecond.
  stereo_sound heard = excerpt(song, 7.0037, 10.0, 0.5);
  // 60 ms of silence 5 s in, where the song plays on.
  std::fill(heard.samples.begin() + 2 * 5 * rate, heard.samples.begin() + 2 * (5 * rate + rate * 6 / 100), 0);

  const recording_match match = match_recording(heard, song, rate / 2);
  EXPECT_NEAR(match.offset_seconds, 7.0037, 0.001);
  EXPECT_GT(match.correlation, 0.95);
  EXPECT_NEAR(match.longest_gap_ms, 60, 1);

  const recording_match whole = match_recording(excerpt(song, 7.0, 10.0, 1.0), song, 0);
  EXPECT_NEAR(whole.offset_seconds, 7.0, 0.011);
  EXPECT_EQ(whole.longest_gap_ms, 0);

  // An output that drops 40 ms three times and plays on: the same song,
  // with three skips.
  stereo_sound dropped = excerpt(song, 7.0, 10.0, 1.0);
  for (const double at : {7.0, 4.0, 1.5})
    dropped.samples.erase(dropped.samples.begin() + 2 * int64_t(at * rate),
                          dropped.samples.begin() + 2 * int64_t((at + 0.04) * rate));
  const recording_match skipping = match_recording(dropped, song, 0);
  EXPECT_GT(skipping.correlation, 0.95);
  EXPECT_EQ(skipping.skips, 3);
  EXPECT_NEAR(skipping.skipped_ms, 120, 3);
  EXPECT_EQ(whole.skips, 0);

  stereo_sound tone;
  tone.rate = rate;
  for (int i = 0; i < 10 * rate; ++i) {
    const auto v = int16_t(8000 * std::sin(i * 0.05) * (1 + std::sin(i * 0.0001)));
    tone.samples.push_back(v), tone.samples.push_back(v);
  }
  EXPECT_LT(match_recording(tone, song, 0).correlation, 0.8);
}

} // namespace
