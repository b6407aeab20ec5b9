// Whatever is not a complete extended module is refused, without a crash, a
// hang or a message; odd but complete modules play.
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <random>

namespace {

xm_module small_song() {
  xm_module song = test_song(2, 8, 4, 3);
  song.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
  song.patterns[0].at(4, 1) = {52, 3, 0, 0, 0};
  return song;
}

std::vector<uint8_t> small_song_bytes() { return xm_write(small_song()); }

bool render_refused(const std::vector<uint8_t> &bytes) {
  int32_t count = 0;
  return sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, 3200, nullptr, nullptr, 0,
                      &count) == -1;
}

// A four-channel ProTracker module the player itself loads.
std::vector<uint8_t> protracker_module() {
  std::vector<uint8_t> bytes(20 + 31 * 30, 0);
  bytes.push_back(1);   // song length
  bytes.push_back(127); // restart
  bytes.resize(bytes.size() + 128, 0);
  for (char c : std::string("M.K.")) bytes.push_back(uint8_t(c));
  bytes.resize(bytes.size() + 64 * 4 * 4, 0);
  return bytes;
}

TEST(Refusal, MissingEmptyTruncatedRandomAndOtherFormatsAreRefusedSilently) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();

  const std::vector<uint8_t> good = small_song_bytes();
  ASSERT_FALSE(render_refused(good));
  sound_song *loaded = sound_load_song(write_temp_file("good.xm", good).c_str());
  EXPECT_NE(loaded, nullptr);
  sound_free_song(loaded);

  EXPECT_EQ(sound_load_song(nullptr), nullptr);
  EXPECT_EQ(sound_load_song("/nonexistent/RETRO.XM"), nullptr);
  EXPECT_EQ(sound_load_song(write_temp_file("empty.xm", {}).c_str()), nullptr);
  EXPECT_EQ(sound_load_song(std::filesystem::temp_directory_path().string().c_str()), nullptr);
  EXPECT_TRUE(render_refused({}));

  // Every shorter prefix that ends before the first sample's data is refused.
  xm_module headers_only = small_song();
  headers_only.instruments.resize(1);
  headers_only.instruments[0].samples[0].data.clear();
  for (size_t size = 1; size <= xm_write(headers_only).size(); ++size)
    ASSERT_TRUE(render_refused(std::vector<uint8_t>(good.begin(), good.begin() + long(size))))
        << "cut at " << size;

  std::mt19937 random(5);
  std::vector<uint8_t> noise(4096);
  for (uint8_t &b : noise) b = uint8_t(random());
  EXPECT_TRUE(render_refused(noise));
  EXPECT_EQ(sound_load_song(write_temp_file("noise.xm", noise).c_str()), nullptr);
  std::vector<uint8_t> noise_after_header(good.begin(), good.begin() + 17);
  noise_after_header.insert(noise_after_header.end(), noise.begin(), noise.end());
  EXPECT_TRUE(render_refused(noise_after_header));

  // Other formats, one of them a module the player itself would play.
  const std::vector<uint8_t> mod = protracker_module();
  xmp_context context = xmp_create_context();
  EXPECT_EQ(xmp_load_module_from_memory(context, mod.data(), long(mod.size())), 0);
  xmp_free_context(context);
  EXPECT_EQ(sound_check_song(mod.data(), int64_t(mod.size())), SOUND_SONG_NOT_XM);
  EXPECT_EQ(sound_load_song(write_temp_file("song.mod", mod).c_str()), nullptr);
  std::vector<uint8_t> s3m(96, 0);
  std::memcpy(s3m.data() + 44, "SCRM", 4);
  s3m[29] = 16;
  EXPECT_TRUE(render_refused(s3m));
  std::vector<uint8_t> wav(44 + 3200, 0);
  std::memcpy(wav.data(), "RIFF", 4);
  std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
  EXPECT_EQ(sound_load_song(write_temp_file("song.wav", wav).c_str()), nullptr);
  // Complete, but its only order names a pattern it does not have.
  xm_module nothing_to_play = test_song(1, 4);
  nothing_to_play.orders = {5};
  const std::vector<uint8_t> silent = xm_write(nothing_to_play);
  EXPECT_EQ(sound_check_song(silent.data(), int64_t(silent.size())), SOUND_SONG_NOTHING_TO_PLAY);
  // A whole pass has no length a sample buffer could be sized for.
  std::vector<int16_t> buffer(2 * 3200);
  int32_t count = 0;
  EXPECT_EQ(sound_render(good.data(), 1000, TEST_RATE, 0, buffer.data(), nullptr, 0, &count), -1);

  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Refusal, DamagedButCompleteModulesPlayWithoutCrashOrHang) {
  // Byte flips keep the file complete only sometimes; whatever is accepted
  // must render a second of sound in bounded time.
  const std::vector<uint8_t> good = small_song_bytes();
  std::mt19937 random(11);
  int accepted = 0;
  std::vector<int16_t> out(2 * TEST_RATE);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> bytes = good;
    for (int flips = 0; flips < 4; ++flips) bytes[random() % bytes.size()] = uint8_t(random());
    int32_t count = 0;
    const int64_t rendered = sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE,
                                          TEST_RATE, out.data(), nullptr, 0, &count);
    if (rendered < 0) continue;
    ++accepted;
    EXPECT_LE(rendered, TEST_RATE);
    // Rendered again, the same cues, each inside what was rendered.
    std::vector<sound_cue> cues(static_cast<size_t>(count));
    int32_t again = -1;
    EXPECT_EQ(sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, TEST_RATE, nullptr,
                           cues.data(), count, &again),
              rendered);
    EXPECT_EQ(again, count);
    for (const sound_cue &cue : cues) {
      EXPECT_TRUE(cue.sample >= 0 && cue.sample < rendered) << cue.sample;
      EXPECT_TRUE(cue.instrument >= 1 && cue.instrument <= 255) << cue.instrument;
    }
  }
  EXPECT_GT(accepted, 0);
}

TEST(Refusal, SongWithMoreChannelsThanTheOutputOpenedIsRefused) {
  xm_module song = test_song(8, 4);
  song.patterns[0].at(0, 7) = {49, 1, 0, 0, 0};
  const std::string path = write_temp_file("eight.xm", xm_write(song));
  ASSERT_EQ(sound_init(TEST_RATE, 4, 0), 1);
  EXPECT_EQ(sound_load_song(path.c_str()), nullptr);
  ASSERT_EQ(sound_init(TEST_RATE, 64, 0), 1);
  sound_song *loaded = sound_load_song(path.c_str());
  EXPECT_NE(loaded, nullptr);
  sound_free_song(loaded);
  sound_close();
}

TEST(Refusal, OutputRefusesRatesChannelsAndFlagsItCannotHonour) {
  EXPECT_EQ(sound_init(0, 64, 0), 0);
  EXPECT_EQ(sound_init(1000000, 64, 0), 0);
  EXPECT_EQ(sound_init(TEST_RATE, 0, 0), 0);
  EXPECT_EQ(sound_init(TEST_RATE, 65, 0), 0);
  EXPECT_EQ(sound_init(TEST_RATE, 64, 1), 0);
  EXPECT_EQ(sound_play_song(nullptr), 0);
}

TEST(Refusal, OutputOnRealAudioDriversPrintsNothing) {
  // Without a sound card ALSA's library reports errors on stderr unless told
  // otherwise; whether the device opens or not, nothing may be printed.
  for (const char *driver : {"alsa", "pulseaudio", "nonexistent"}) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int opened = sound_init(TEST_RATE, 64, 0);
    sound_close();
    if (std::string(driver) == "nonexistent") {
      EXPECT_EQ(opened, 0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << driver;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << driver;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

} // namespace
