// The song on the real audio thread (SDL's dummy driver in tests): the clock,
// the handlers in step with what the device takes, and the show's handlers
// racing the frame loop (run under ThreadSanitizer).
#include "show/show.h"
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using steady = std::chrono::steady_clock;

struct fired_cue {
  int32_t instrument;
  int32_t time_ms;
  steady::time_point when;
};

// Written by the audio thread only; read after the device is closed.
fired_cue fired[4096];
std::atomic<int32_t> fired_count{0};

template <int32_t INSTRUMENT> void record_cue(sound_song *song, int32_t) {
  int32_t n = fired_count.load(std::memory_order_relaxed);
  if (n == 4096) return;
  fired[n] = {INSTRUMENT, sound_song_time(song), steady::now()};
  fired_count.store(n + 1, std::memory_order_release);
}

// A busy machine only slows the audio thread down; this long without the
// clock reaching where a test waits for means it has stopped.
constexpr std::chrono::seconds STOPPED_CLOCK(30);

// Waits until the song's clock is past `song_ms`, or has stopped; whether it got there.
bool wait_for_song_time(sound_song *song, int32_t song_ms) {
  const steady::time_point start = steady::now();
  while (sound_song_time(song) <= song_ms) {
    if (steady::now() - start > STOPPED_CLOCK) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

sound_song *start_song(const std::vector<uint8_t> &bytes, const char *name) {
  if (!sound_init(TEST_RATE, 64, 0)) return nullptr;
  sound_song *song = sound_load_song(write_temp_file(name, bytes).c_str());
  if (song != nullptr && !sound_play_song(song)) {
    sound_free_song(song);
    return nullptr;
  }
  return song;
}

TEST(Device, VersionIsTheLinkedPlayersAsAFloat) {
  EXPECT_EQ(xmp_vercode, unsigned(XMP_VERCODE));
  EXPECT_EQ(sound_version(), float(XMP_VER_MAJOR + XMP_VER_MINOR / 10.0 + XMP_VER_RELEASE / 1000.0));
  EXPECT_GE(sound_version(), SOUND_MINIMUM_VERSION);
}

TEST(Device, ClockCountsMillisecondsPlayedNeverBackwardsAndAcrossTheLoop) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  const int64_t pass_ms = pass_frames(bytes) * 1000 / TEST_RATE;
  ASSERT_EQ(pass_ms, 640);
  // Taken before the device starts, so the clock cannot have run before it.
  const steady::time_point start = steady::now();
  sound_song *song = start_song(bytes, "clock.xm");
  ASSERT_NE(song, nullptr);
  int32_t last = 0;
  int32_t distinct = 0;
  // Until the clock is past two passes of the song; the deadline only ends a
  // clock that has stopped, however busy the machine.
  while (last <= pass_ms * 2 + 100 && steady::now() - start < STOPPED_CLOCK) {
    const int32_t now = sound_song_time(song);
    ASSERT_GE(now, last);
    distinct += now != last;
    last = now;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const double wall_ms =
      std::chrono::duration<double, std::milli>(steady::now() - start).count();
  // Past the song's end and still counting, in steps (however few looks a
  // busy machine allows); never ahead of the wall clock by more than the
  // device's buffering (a busy machine only holds it back).
  EXPECT_GT(last, pass_ms * 2);
  EXPECT_GT(distinct, 2);
  EXPECT_LT(last, wall_ms + 100);
  sound_free_song(song);
  sound_close();
}

TEST(Device, HandlersRunAsTheBufferHoldingTheirNoteStartsPlaying) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  fired_count.store(0);
  ASSERT_EQ(sound_init(TEST_RATE, 64, 0), 1);
  sound_song *song = sound_load_song(write_temp_file("step.xm", bytes).c_str());
  ASSERT_NE(song, nullptr);
  // Installed before play, so every note from the first one is recorded.
  sound_set_instrument_callback(song, record_cue<3>, 3);
  sound_set_instrument_callback(song, record_cue<4>, 4);
  sound_set_instrument_callback(song, record_cue<6>, 6);
  const steady::time_point start = steady::now();
  ASSERT_EQ(sound_play_song(song), 1);
  // Two passes: 28 notes, however slowly a busy machine plays them.
  EXPECT_TRUE(wait_for_song_time(song, 2 * 640));
  sound_close(); // joins the audio thread
  const int32_t count = fired_count.load(std::memory_order_acquire);
  const int32_t played_ms = sound_song_time(song);

  // Every note whose buffer has started playing, and no other: the clock
  // stops at the start of the last buffer that started playing (512 frames).
  std::vector<sound_cue> expected = render_cues(bytes, int64_t(played_ms + 40) * TEST_RATE / 1000);
  const int64_t played_frames = int64_t(played_ms) * TEST_RATE / 1000; // less than 1 ms short
  auto cues_before = [&](int64_t frame) {
    return std::count_if(expected.begin(), expected.end(),
                         [&](const sound_cue &c) { return c.sample < frame; });
  };
  ASSERT_GT(count, 20);
  EXPECT_GE(count, cues_before(played_frames + 512));
  EXPECT_LE(count, cues_before(played_frames + 512 + TEST_RATE / 1000));
  ASSERT_LE(size_t(count), expected.size());
  std::vector<double> early_ms;
  for (int32_t i = 0; i < count; ++i) {
    const sound_cue &cue = expected[size_t(i)];
    EXPECT_EQ(fired[i].instrument, cue.instrument) << "cue " << i;
    // The buffer holding the cue's frame is starting to play: the clock is
    // at most one buffer (512 frames, 16 ms) short of the cue, never past it.
    const double cue_ms = double(cue.sample) * 1000 / TEST_RATE;
    EXPECT_GE(fired[i].time_ms, cue_ms - 17) << "cue " << i;
    EXPECT_LE(fired[i].time_ms, cue_ms) << "cue " << i;
    early_ms.push_back(cue_ms - fired[i].time_ms);
  }
  std::sort(early_ms.begin(), early_ms.end());
  std::printf("handler ahead of its note's frame, in played-out time: min %.1f median %.1f max %.1f ms (%d cues)\n",
              early_ms.front(), early_ms[early_ms.size() / 2], early_ms.back(), count);
  // Against the wall clock: when each handler ran, relative to when its note's
  // frame was due, taking the first handler call as the time base.
  std::vector<double> drift_ms;
  const double base = std::chrono::duration<double, std::milli>(fired[0].when - start).count() -
                      double(expected[0].sample) * 1000 / TEST_RATE;
  for (int32_t i = 0; i < count; ++i)
    drift_ms.push_back(std::chrono::duration<double, std::milli>(fired[i].when - start).count() -
                       double(expected[size_t(i)].sample) * 1000 / TEST_RATE - base);
  std::sort(drift_ms.begin(), drift_ms.end());
  std::printf("wall-clock call time minus due time (first call as base): min %.1f median %.1f max %.1f ms\n",
              drift_ms.front(), drift_ms[drift_ms.size() / 2], drift_ms.back());
  sound_free_song(song);
}

TEST(Device, ShowHandlersOnTheAudioThreadRaceTheFrameLoopSafely) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  sound_song *song = start_song(bytes, "race.xm");
  ASSERT_NE(song, nullptr);
  sound_set_instrument_callback(song, on_cue_next_scene, 3);
  sound_set_instrument_callback(song, on_cue_logo, 4);
  sound_set_instrument_callback(song, on_cue_credits, 6);
  const int32_t first_scene = scene_index.load(std::memory_order_relaxed);
  bool scene_moved = false, flashed = false;
  // Until both were seen, or four passes played (a flash lasts until the
  // loop's next store, so one can be overwritten unseen; not eight in a row),
  // or the clock stopped.
  const steady::time_point start = steady::now();
  while (!(scene_moved && flashed) && sound_song_time(song) < 4 * 640 &&
         steady::now() - start < STOPPED_CLOCK) {
    // The frame loop's two steps on the shared values.
    const int32_t code = picture_code.load(std::memory_order_relaxed);
    ASSERT_GE(code, 0);
    ASSERT_LT(code, PICTURE_COUNT);
    flashed = flashed || code == PICTURE_CODE_LOGO || code == PICTURE_CODE_CREDITS;
    const int32_t index = scene_index.load(std::memory_order_relaxed);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, SCENE_COUNT);
    scene_moved = scene_moved || index != first_scene;
    picture_code.store(scene_table[index], std::memory_order_relaxed);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  sound_close();
  sound_free_song(song);
  EXPECT_TRUE(scene_moved);
  EXPECT_TRUE(flashed);
}

} // namespace
