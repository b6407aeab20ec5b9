// The song on the real audio thread (SDL's dummy driver in tests): the clock,
// the notes queued ahead of it for the frame loop to run, and the show's
// handlers run by a frame loop while the audio thread queues (run under
// ThreadSanitizer).
#include "show/show.h"
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using steady = std::chrono::steady_clock;

struct fired_cue {
  int32_t instrument;
  int64_t asked_us; // the time the frame loop asked for
};

// Written by the handlers' thread.
fired_cue fired[4096];
int64_t asked_us;
std::atomic<int32_t> fired_count{0};

template <int32_t INSTRUMENT> void record_cue(sound_song *, int32_t) {
  int32_t n = fired_count.load(std::memory_order_relaxed);
  if (n == 4096) return;
  fired[n] = {INSTRUMENT, asked_us};
  fired_count.store(n + 1, std::memory_order_release);
}

// A busy machine only slows the audio thread down; this long without the
// clock reaching where a test waits for means it has stopped.
constexpr std::chrono::seconds STOPPED_CLOCK(30);

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

// The furthest the frame loop's clock may be: a buffer past what has played.
int64_t frame_loop_time_us(sound_song *song) {
  int64_t played_us = 0, reported_at_ns = 0;
  sound_song_report(song, &played_us, &reported_at_ns);
  return played_us + int64_t(SOUND_BUFFER_FRAMES) * 1000000 / TEST_RATE;
}

TEST(Device, HandlersRunOnTheCallersThreadForEveryNoteUpToTheTimeAsked) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  fired_count.store(0);
  ASSERT_EQ(sound_init(TEST_RATE, 64, 0), 1);
  sound_song *song = sound_load_song(write_temp_file("step.xm", bytes).c_str());
  ASSERT_NE(song, nullptr);
  sound_set_instrument_callback(song, record_cue<3>, 3);
  sound_set_instrument_callback(song, record_cue<4>, 4);
  sound_set_instrument_callback(song, record_cue<6>, 6);
  ASSERT_EQ(sound_play_song(song), 1);
  // A frame loop asking as far ahead as its clock may go, over two passes:
  // 28 notes, however slowly a busy machine plays them.
  const steady::time_point start = steady::now();
  while (sound_song_time(song) <= 2 * 640 && steady::now() - start < STOPPED_CLOCK) {
    asked_us = frame_loop_time_us(song);
    sound_run_cues(song, asked_us);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  sound_close(); // joins the audio thread
  const int32_t count = fired_count.load(std::memory_order_acquire);
  // Every note up to the last time asked had been queued and ran, in order,
  // none before the time asked reached it.
  const std::vector<sound_cue> expected = render_cues(bytes, asked_us * TEST_RATE / 1000000 + 1);
  ASSERT_GT(count, 20);
  ASSERT_EQ(size_t(count), expected.size());
  for (int32_t i = 0; i < count; ++i) {
    const sound_cue &cue = expected[size_t(i)];
    EXPECT_EQ(fired[i].instrument, cue.instrument) << "cue " << i;
    EXPECT_LE(cue.sample * 1000000, fired[i].asked_us * TEST_RATE) << "cue " << i;
  }
  sound_free_song(song);
}

TEST(Device, ShowHandlersRunOnTheFrameLoopWhileTheAudioThreadQueuesNotes) {
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
    // The frame loop's steps on the shared values.
    sound_run_cues(song, frame_loop_time_us(song));
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
