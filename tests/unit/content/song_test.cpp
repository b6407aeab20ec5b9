// The generated song as two real players see it: structure, length, loop,
// levels, and the cue notes that drive the show.
#include "music/sound.h"
#include "content/content.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int RATE = 32000;

struct xmp_song {
  xmp_context context = xmp_create_context();
  xmp_module_info info{};
  bool loaded = false;
  explicit xmp_song(const std::vector<uint8_t> &bytes) {
    loaded = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())) == 0;
    if (loaded) xmp_get_module_info(context, &info);
  }
  ~xmp_song() {
    if (loaded) xmp_release_module(context);
    xmp_free_context(context);
  }
};

const std::vector<uint8_t> &song_bytes() {
  static const std::vector<uint8_t> bytes = xm_write(content_song());
  return bytes;
}

double restart_seconds(const xm_module &song) {
  int rows = 0;
  for (int order = 0; order < song.restart; ++order) rows += song.patterns[song.orders[size_t(order)]].rows;
  return rows * content_row_seconds(song);
}

} // namespace

TEST(Song, LibxmpLoadsEightChannelsAndOneLoopOf90To180Seconds) {
  const xm_module module = content_song();
  xmp_song song(song_bytes());
  ASSERT_TRUE(song.loaded);
  EXPECT_EQ(song.info.mod->chn, 8);
  EXPECT_EQ(song.info.mod->len, int(module.orders.size()));
  EXPECT_EQ(song.info.mod->rst, module.restart);
  const double whole = song.info.seq_data[0].duration / 1000.0;
  const double loop = whole - restart_seconds(module);
  EXPECT_GE(loop, 90.0);
  EXPECT_LE(loop, 180.0);
  // The generator's own clock arithmetic agrees with the player's.
  EXPECT_NEAR(whole, content_loop_seconds(module), 0.05);
  EXPECT_GE(song.info.mod->bpm, 80);
  EXPECT_LE(song.info.mod->bpm, 160);
}

TEST(Song, LibopenmptLoadsItWithTheSameLength) {
  int error = 0;
  const char *message = nullptr;
  openmpt_module *module =
      openmpt_module_create_from_memory2(song_bytes().data(), song_bytes().size(), openmpt_log_func_silent,
                                         nullptr, nullptr, nullptr, &error, &message, nullptr);
  ASSERT_NE(module, nullptr) << (message ? message : "");
  EXPECT_EQ(openmpt_module_get_num_channels(module), 8);
  EXPECT_EQ(openmpt_module_get_num_instruments(module), 10);
  EXPECT_NEAR(openmpt_module_get_duration_seconds(module), content_loop_seconds(content_song()), 0.05);
  openmpt_module_destroy(module);
  if (message) openmpt_free_string(message);
}

TEST(Song, PlaysAudiblyWithoutClippingAndKeepsLooping) {
  xmp_song song(song_bytes());
  ASSERT_TRUE(song.loaded);
  ASSERT_EQ(xmp_start_player(song.context, RATE, 0), 0);
  const double seconds = content_loop_seconds(content_song()) + 20.0; // past the loop point
  std::vector<int16_t> buffer(RATE * 2 / 10);
  double sum_squares = 0;
  size_t count = 0, at_limit = 0, silent_windows = 0, windows = 0;
  for (double t = 0; t < seconds; t += 0.1) {
    ASSERT_EQ(xmp_play_buffer(song.context, buffer.data(), int(buffer.size() * 2), 0), 0) << t;
    double window = 0;
    for (int16_t v : buffer) {
      window += double(v) * v;
      at_limit += v == 32767 || v == -32768;
    }
    sum_squares += window, count += buffer.size();
    silent_windows += std::sqrt(window / double(buffer.size())) < 30.0;
    ++windows;
  }
  xmp_frame_info frame;
  xmp_get_frame_info(song.context, &frame);
  xmp_end_player(song.context);
  const double rms_db = 20 * std::log10(std::sqrt(sum_squares / double(count)) / 32768.0);
  EXPECT_GT(rms_db, -26.0);
  EXPECT_LT(rms_db, -8.0);
  EXPECT_LT(double(at_limit) / double(count), 1e-4) << "clipping";
  EXPECT_LT(silent_windows, windows / 50) << "gaps of silence";
  EXPECT_GE(frame.loop_count, 1);
  EXPECT_GE(frame.pos, content_song().restart) << "the loop restarts after the intro";
}

TEST(Song, SceneCuesEvery4To10SecondsThroughTheLoopWithLogoAndCreditsAccents) {
  const xm_module module = content_song();
  const double start = restart_seconds(module), end = content_loop_seconds(module), loop = end - start;
  std::vector<double> scene;
  int logo = 0, credits = 0;
  for (const content_cue &cue : content_cues(module)) {
    if (cue.order < module.restart) continue; // the intro plays once
    if (cue.instrument == CUE_INSTRUMENT_NEXT_SCENE) scene.push_back(cue.seconds);
    logo += cue.instrument == CUE_INSTRUMENT_LOGO;
    credits += cue.instrument == CUE_INSTRUMENT_CREDITS;
  }
  ASSERT_GE(scene.size(), 7u) << "all seven scenes in every loop";
  EXPECT_GE(logo, 1);
  EXPECT_GE(credits, 1);
  EXPECT_LE(logo + credits, 8) << "accents stay sparse";
  // The first scene stays from the start of the song until the first cue.
  std::vector<double> gaps = {scene.front()};
  for (size_t i = 1; i < scene.size(); ++i) gaps.push_back(scene[i] - scene[i - 1]);
  gaps.push_back(scene.front() + loop - scene.back()); // across the loop point
  for (double gap : gaps) {
    EXPECT_GE(gap, 4.0);
    EXPECT_LE(gap, 10.0);
  }
}

TEST(Song, CueNotesAreAudibleOnTheirOwn) {
  const xm_module module = content_song();
  xmp_song song(song_bytes());
  ASSERT_TRUE(song.loaded);
  ASSERT_EQ(xmp_start_player(song.context, RATE, 0), 0);
  // Keep only the channels that carry cue notes.
  std::vector<bool> carries_cue(size_t(module.channels), false);
  for (const content_cue &cue : content_cues(module))
    for (int channel = 0; channel < module.channels; ++channel)
      carries_cue[size_t(channel)] =
          carries_cue[size_t(channel)] ||
          module.patterns[module.orders[size_t(cue.order)]].at(cue.row, channel).instrument == cue.instrument;
  for (int channel = 0; channel < module.channels; ++channel)
    xmp_channel_mute(song.context, channel, carries_cue[size_t(channel)] ? 0 : 1);
  std::vector<int16_t> audio;
  std::vector<int16_t> buffer(RATE * 2 / 10);
  while (audio.size() < size_t(content_loop_seconds(module) * RATE * 2)) {
    ASSERT_EQ(xmp_play_buffer(song.context, buffer.data(), int(buffer.size() * 2), 0), 0);
    audio.insert(audio.end(), buffer.begin(), buffer.end());
  }
  xmp_end_player(song.context);
  for (const content_cue &cue : content_cues(module)) {
    const size_t first = size_t(cue.seconds * RATE) * 2, last = std::min(audio.size(), first + RATE / 4 * 2);
    double sum = 0;
    for (size_t i = first; i < last; ++i) sum += double(audio[i]) * audio[i];
    const double rms_db = 20 * std::log10(std::sqrt(sum / double(last - first)) / 32768.0 + 1e-12);
    EXPECT_GT(rms_db, -40.0) << "instrument " << cue.instrument << " at " << cue.seconds << " s";
  }
}
