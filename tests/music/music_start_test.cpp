// music_start's order of calls and its failures, over the in-memory layer.
#include "music/music.h"
#include "music/sound_memory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

int cues_heard[3];
void on_next_scene(sound_song *, int32_t) { ++cues_heard[0]; }
void on_logo(sound_song *, int32_t) { ++cues_heard[1]; }
void on_credits(sound_song *, int32_t) { ++cues_heard[2]; }
const music_cue_handlers CUES = {on_next_scene, on_logo, on_credits};

std::vector<sound_memory_call> calls() {
  int32_t count = 0;
  const sound_memory_call *log = sound_memory_calls(&count);
  return std::vector<sound_memory_call>(log, log + count);
}

std::vector<sound_memory_call_kind> kinds() {
  std::vector<sound_memory_call_kind> out;
  for (const sound_memory_call &call : calls()) out.push_back(call.kind);
  return out;
}

TEST(MusicStart, StartsInOrderAndInstallsTheHandlersOncePlaying) {
  sound_memory_reset();
  sound_song *song = nullptr;
  ASSERT_EQ(music_start(&CUES, &song), 1);
  EXPECT_EQ(song, sound_memory_song());
  const std::vector<sound_memory_call> log = calls();
  ASSERT_EQ(kinds(), (std::vector<sound_memory_call_kind>{
                         SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT, SOUND_MEMORY_LOAD,
                         SOUND_MEMORY_PLAY, SOUND_MEMORY_SET_CALLBACK, SOUND_MEMORY_SET_CALLBACK,
                         SOUND_MEMORY_SET_CALLBACK}));
  EXPECT_EQ(log[1].mixing_rate, 32000);
  EXPECT_EQ(log[1].channels, 64);
  EXPECT_EQ(log[1].flags, 0u);
  EXPECT_STREQ(log[2].path, "RETRO.XM");
  EXPECT_EQ(log[3].song, song);
  EXPECT_EQ(log[4].instrument, 3);
  EXPECT_EQ(log[4].callback, &on_next_scene);
  EXPECT_EQ(log[5].instrument, 4);
  EXPECT_EQ(log[5].callback, &on_logo);
  EXPECT_EQ(log[6].instrument, 6);
  EXPECT_EQ(log[6].callback, &on_credits);
  for (int i = 3; i < 7; ++i) EXPECT_EQ(log[size_t(i)].song, song);

  // Each cue instrument reaches its own handler.
  cues_heard[0] = cues_heard[1] = cues_heard[2] = 0;
  EXPECT_EQ(sound_memory_fire(3), 1);
  EXPECT_EQ(sound_memory_fire(6), 1);
  EXPECT_EQ(sound_memory_fire(6), 1);
  EXPECT_EQ(sound_memory_fire(4), 1);
  EXPECT_EQ(sound_memory_fire(1), 0);
  EXPECT_EQ(cues_heard[0], 1);
  EXPECT_EQ(cues_heard[1], 1);
  EXPECT_EQ(cues_heard[2], 2);
}

TEST(MusicStart, VersionIsComparedWithTheOldestSupportedAsAFloat) {
  sound_memory_reset();
  sound_memory_set_version(4.49f);
  sound_song *song = nullptr;
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION});

  for (float version : {4.5f, 4.501f, 5.0f}) {
    sound_memory_reset();
    sound_memory_set_version(version);
    EXPECT_EQ(music_start(&CUES, &song), 1) << version;
  }
  // Below by the smallest step a float can take.
  sound_memory_reset();
  sound_memory_set_version(std::nextafter(4.5f, 0.0f));
  EXPECT_EQ(music_start(&CUES, &song), 0);
}

TEST(MusicStart, RefusedInitialisationOrLoadFailsAndGoesNoFurtherLeavingNothingOpen) {
  sound_memory_reset();
  sound_memory_set_init_result(0);
  sound_song *song = nullptr;
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), (std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT}));

  sound_memory_reset();
  sound_memory_set_load_result(0);
  EXPECT_EQ(music_start(&CUES, &song), 0);
  EXPECT_EQ(kinds(), (std::vector<sound_memory_call_kind>{SOUND_MEMORY_VERSION, SOUND_MEMORY_INIT,
                                                          SOUND_MEMORY_LOAD, SOUND_MEMORY_CLOSE}));
}

// The clock between the output's reports: a buffer (16 ms) reported each
// 16 ms, a little early or late as the audio thread wakes, sampled by frames
// a 60th of a second apart. Each frame moves on by its 60th within 2 ms and
// never back; what it gives is never more than a buffer past the report.
TEST(MusicClock, MovesOnByAFramesTimeBetweenReportsAndNeverBack) {
  const int64_t buffer_us = 16000;
  int64_t earliest = 0, previous = -1;
  int64_t report_us = 0, report_at_ns = 0;
  uint32_t random = 7;
  for (int64_t frame = 0; frame < 600; ++frame) {
    const int64_t at_ns = 100000000 + frame * 16666667;
    // The latest report by then: buffer k reported at k * 16 ms, within 1 ms.
    for (int64_t k = report_us / buffer_us + 1;; ++k) {
      random = random * 1103515245u + 12345u;
      const int64_t reported_at =
          100000000 + k * buffer_us * 1000 + int64_t(random >> 8) % 1000000 - 500000;
      if (reported_at > at_ns) break;
      report_us = k * buffer_us;
      report_at_ns = reported_at;
    }
    earliest = music_smooth_us(report_us, report_at_ns, at_ns, earliest);
    EXPECT_LE(earliest, report_us + buffer_us);
    if (previous >= 0) {
      EXPECT_NEAR(double(earliest - previous), 16667.0, 2000.0) << "frame " << frame;
    }
    previous = earliest;
  }
}

TEST(MusicClock, HoldsAtABufferPastTheReportWhenReportsStopAndNeverGoesBack) {
  // Reported 1 s played at 10 ms; 100 ms on, no report since.
  EXPECT_EQ(music_smooth_us(1000000, 10000000, 110000000, 0), 1016000);
  EXPECT_EQ(music_smooth_us(1000000, 10000000, 15000000, 0), 1005000);
  // A report behind what was given before does not take the clock back.
  EXPECT_EQ(music_smooth_us(1000000, 10000000, 11000000, 1010000), 1010000);
  // No report time (an output that reports what it played): the count as it is.
  EXPECT_EQ(music_smooth_us(1000000, 0, 110000000, 0), 1000000);
  // Over the in-memory layer the clock is the layer's time, from 0 at each start.
  sound_memory_reset();
  sound_song *song = nullptr;
  ASSERT_EQ(music_start(&CUES, &song), 1);
  sound_memory_set_time(1234);
  EXPECT_EQ(music_time_ms(song, 5000000), 1234);
  sound_memory_reset();
  ASSERT_EQ(music_start(&CUES, &song), 1);
  sound_memory_set_time(20);
  EXPECT_EQ(music_time_ms(song, 0), 20);
}

} // namespace
