// Songs saved the way other trackers save them play, with the cues of the
// same song saved plainly; files cut off anywhere play what is there or are
// refused, never crash.
#include "tests/music/test_songs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace {

std::vector<std::tuple<int, int, int, int64_t>> cue_keys(const std::vector<sound_cue> &cues) {
  std::vector<std::tuple<int, int, int, int64_t>> keys;
  for (const sound_cue &cue : cues)
    keys.emplace_back(cue.instrument, cue.order, cue.row, cue.sample);
  return keys;
}

int peak(const std::vector<int16_t> &samples) {
  int largest = 0;
  for (int16_t value : samples) largest = std::max(largest, std::abs(int(value)));
  return largest;
}

std::vector<int16_t> render_audio(const std::vector<uint8_t> &bytes, int64_t frames) {
  std::vector<int16_t> out(size_t(2 * frames));
  int32_t count = 0;
  if (sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, frames, out.data(), nullptr, 0,
                   &count) != frames)
    out.clear();
  return out;
}

TEST(RealWorldSongs, EverySavedShapePlaysWithThePlainSongsCues) {
  const auto files = shaped_song_files();
  const auto plain = cue_keys(render_cues(files[0].second));
  ASSERT_GE(plain.size(), 15u);
  for (const auto &[name, bytes] : files) {
    EXPECT_EQ(sound_check_song(bytes.data(), int64_t(bytes.size())), SOUND_SONG_PLAYS) << name;
    EXPECT_EQ(cue_keys(render_cues(bytes)), plain) << name;
    EXPECT_GT(peak(render_audio(bytes, TEST_RATE)), 1000) << name;
    sound_song *song = sound_load_song(write_temp_file("shaped.xm", bytes).c_str());
    EXPECT_NE(song, nullptr) << name;
    sound_free_song(song);
  }
}

TEST(RealWorldSongs, AdpcmSampleSoundsLikeItsSource) {
  xm_module song = test_song(1, 4, 4, 1);
  song.instruments[0].samples[0].sixteen_bit = false;
  song.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
  const std::vector<int16_t> plain = render_audio(xm_write(song), 2000);
  song.instruments[0].samples[0].adpcm = true;
  const std::vector<int16_t> packed = render_audio(xm_write(song), 2000);
  ASSERT_EQ(plain.size(), packed.size());
  EXPECT_GT(peak(plain), 1000);
  EXPECT_NEAR(peak(packed), peak(plain), peak(plain) / 5);
}

TEST(RealWorldSongs, EveryCutPlaysWhatIsThereOrSaysWhyNot) {
  const std::vector<uint8_t> whole = shaped_song_files()[0].second;
  const auto plain = cue_keys(render_cues(whole));
  xm_module headers = shaped_song();
  headers.instruments.clear();
  const size_t patterns_end = xm_write(headers).size();
  xm_module through_last_used = shaped_song();
  through_last_used.instruments.resize(6);
  through_last_used.instruments[5].samples[0].data.clear();
  const size_t last_used_data = xm_write(through_last_used).size();
  for (int part = 1; part < 64; ++part) {
    const size_t size = whole.size() * size_t(part) / 64;
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(size));
    const int32_t verdict = sound_check_song(cut.data(), int64_t(cut.size()));
    if (size < patterns_end) {
      EXPECT_EQ(verdict, SOUND_SONG_CUT_OFF) << size;
    }
    if (size > last_used_data) {
      EXPECT_EQ(verdict, SOUND_SONG_PLAYS) << size;
      EXPECT_EQ(cue_keys(render_cues(cut)), plain) << size;
    }
    if (verdict == SOUND_SONG_PLAYS) {
      EXPECT_FALSE(render_audio(cut, 2 * TEST_RATE).empty()) << size;
    }
  }
}

} // namespace
