// Songs saved the way other trackers save them play with the cues of the same
// song saved plainly; files cut off anywhere play what is there or are
// refused, never crash (the sanitizer builds run this too).
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

std::vector<int64_t> cue_keys(const std::vector<uint8_t> &bytes) {
  std::vector<int64_t> keys;
  for (const sound_cue &cue : render_cues(bytes)) keys.push_back(cue.sample * 256 + cue.instrument);
  return keys;
}

// The loudest sample of `frames` rendered frames; -1 when refused.
int peak(const std::vector<uint8_t> &bytes, int64_t frames = TEST_RATE) {
  std::vector<int16_t> out(size_t(2 * frames));
  int32_t count = 0;
  if (sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, frames, out.data(), nullptr, 0,
                   &count) != frames)
    return -1;
  int largest = 0;
  for (int16_t value : out) largest = std::max(largest, std::abs(int(value)));
  return largest;
}

TEST(RealWorldSongs, EverySavedShapePlaysWithThePlainSongsCues) {
  const auto files = shaped_song_files();
  const std::vector<int64_t> plain = cue_keys(files[0].second);
  ASSERT_GE(plain.size(), 15u);
  for (const auto &[name, bytes] : files) {
    EXPECT_EQ(cue_keys(bytes), plain) << name;
    EXPECT_GT(peak(bytes), 1000) << name;
    sound_song *song = sound_load_song(write_temp_file("shaped.xm", bytes).c_str());
    EXPECT_NE(song, nullptr) << name;
    sound_free_song(song);
  }
  // The ADPCM-packed sample sounds like the 8-bit one it was packed from.
  xm_module one = test_song(1, 4, 4, 1);
  one.instruments[0].samples[0].sixteen_bit = false;
  one.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
  const int unpacked = peak(xm_write(one), 2000);
  one.instruments[0].samples[0].adpcm = true;
  EXPECT_NEAR(peak(xm_write(one), 2000), unpacked, unpacked / 5);
}

TEST(RealWorldSongs, EveryCutPlaysWhatIsThereOrSaysWhyNot) {
  const std::vector<uint8_t> whole = shaped_song_files()[0].second;
  const std::vector<int64_t> plain = cue_keys(whole);
  xm_module no_instruments = shaped_song();
  no_instruments.instruments.clear();
  const size_t patterns_end = xm_write(no_instruments).size();
  xm_module up_to_last_used = shaped_song();
  up_to_last_used.instruments.resize(6);
  up_to_last_used.instruments[5].samples[0].data.clear();
  const size_t last_used_data = xm_write(up_to_last_used).size();
  for (size_t part = 1; part < 64; ++part) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(whole.size() * part / 64));
    const int32_t verdict = sound_check_song(cut.data(), int64_t(cut.size()));
    EXPECT_TRUE(cut.size() >= patterns_end || verdict == SOUND_SONG_CUT_OFF) << cut.size();
    EXPECT_TRUE(cut.size() <= last_used_data || cue_keys(cut) == plain) << cut.size();
    EXPECT_EQ(peak(cut, 2 * TEST_RATE) >= 0, verdict == SOUND_SONG_PLAYS) << cut.size();
  }
}

} // namespace
