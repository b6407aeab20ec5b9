// The sound layer on the test's own output, driven step by step: handed its
// sound far ahead of playing it and reporting what it has played (as the
// browser's does), the clock is what has played and every cue runs, in order,
// once the time asked reaches it, however many buffers ahead the output asks;
// on every kind of output, a frame loop sampling its time 60 times a second
// has each cue run in the first frame whose time reaches the note.
#include "music/sound_output.h"
#include "tests/support/test_songs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

sound_output_fill output_fill;
sound_output_heard output_heard;
sound_output_timing output_timing = SOUND_OUTPUT_REPORTS_HEARD;
bool output_open = false;

struct fired_cue {
  int32_t instrument;
  int32_t time_ms;
  int64_t frame; // of the frame loop, when one runs
};
std::vector<fired_cue> fired;
int64_t current_frame;

template <int32_t INSTRUMENT> void record_cue(sound_song *song, int32_t) {
  fired.push_back({INSTRUMENT, sound_song_time(song), current_frame});
}

// Microseconds of song time at sample frame `frame` (exact at multiples of 4).
int64_t frame_us(int64_t frame) { return frame * 1000000 / TEST_RATE; }

// Hands `frames` to the output in 512-frame buffers.
void hand(int64_t frames) {
  std::vector<int16_t> buffer(2 * 512);
  for (int64_t done = 0; done < frames; done += 512) output_fill(buffer.data(), 512);
}

sound_song *play(const std::vector<uint8_t> &bytes, int64_t silent_frames) {
  fired.clear();
  if (!sound_init(TEST_RATE, 64, 0)) return nullptr;
  hand(silent_frames); // the output ran before the song started
  sound_song *song = sound_load_song(write_temp_file("queued.xm", bytes).c_str());
  if (song == nullptr) return nullptr;
  sound_set_instrument_callback(song, record_cue<1>, 1);
  sound_set_instrument_callback(song, record_cue<3>, 3);
  sound_set_instrument_callback(song, record_cue<4>, 4);
  sound_set_instrument_callback(song, record_cue<6>, 6);
  return sound_play_song(song) ? song : nullptr;
}

void expect_in_order(const std::vector<sound_cue> &expected, size_t count) {
  ASSERT_EQ(fired.size(), count);
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(fired[i].instrument, expected[i].instrument) << "cue " << i;
}

TEST(QueuedOutput, ClockAndCuesFollowWhatPlayedNotWhatWasHanded) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  const int64_t silent = 3 * 512;
  sound_song *song = play(bytes, silent);
  ASSERT_NE(song, nullptr);
  const int64_t length = 3 * pass_frames(bytes);
  const std::vector<sound_cue> expected = render_cues(bytes, length + TEST_RATE);
  auto cues_up_to = [&](int64_t frame) {
    size_t n = 0;
    while (n < expected.size() && expected[n].sample <= frame) ++n;
    return n;
  };
  // A quarter second handed ahead of what has played, the report every 100 frames.
  int64_t handed = 0;
  for (int64_t played = 0; played <= length; played += 100) {
    for (; handed < played + TEST_RATE / 4; handed += 512) hand(512);
    output_heard(silent + played);
    ASSERT_EQ(sound_song_time(song), played * 1000 / TEST_RATE);
    sound_run_cues(song, frame_us(played));
    ASSERT_EQ(fired.size(), cues_up_to(played)) << "at frame " << played;
  }
  expect_in_order(expected, fired.size());
  for (size_t i = 0; i < fired.size(); ++i) {
    const int64_t cue_ms = expected[i].sample * 1000 / TEST_RATE;
    EXPECT_GE(fired[i].time_ms, cue_ms) << "cue " << i;
    EXPECT_LE(fired[i].time_ms, cue_ms + 4) << "cue " << i;
  }
  // A report past what was handed, or before the song, moves nothing backwards.
  const int32_t now = sound_song_time(song);
  output_heard(0);
  EXPECT_EQ(sound_song_time(song), now);
  output_heard(silent + handed + 10 * TEST_RATE);
  EXPECT_EQ(sound_song_time(song), handed * 1000 / TEST_RATE);
  sound_free_song(song);
  sound_close();
  EXPECT_FALSE(output_open);
}

TEST(QueuedOutput, NoCueIsLostWhenThousandsWaitForTheFrameLoop) {
  // 32 notes every tick: three seconds ahead hold over 4000 of them, all
  // waiting until the frame loop asks.
  xm_module dense = test_song(32, 16, 1);
  for (int row = 0; row < 16; ++row)
    for (int channel = 0; channel < 32; ++channel)
      dense.patterns[0].at(row, channel) = {49, uint8_t(channel % 2 ? 1 : 3), 0, 0, 0};
  const std::vector<uint8_t> bytes = xm_write(dense);
  sound_song *song = play(bytes, 0);
  ASSERT_NE(song, nullptr);
  const int64_t ahead = 3 * TEST_RATE;
  hand(ahead);
  output_heard(ahead);
  sound_run_cues(song, frame_us(ahead) - 1);
  const std::vector<sound_cue> expected = render_cues(bytes, ahead);
  EXPECT_GT(expected.size(), 4096u);
  expect_in_order(expected, expected.size());
  sound_free_song(song);
  sound_close();
}

TEST(QueuedOutput, EachCueRunsInTheFirstFrameWhoseTimeReachesItsNote) {
  const std::vector<uint8_t> bytes = cue_song_bytes();
  const int64_t length = 2 * pass_frames(bytes);
  const std::vector<sound_cue> expected = render_cues(bytes, length + TEST_RATE);
  for (sound_output_timing timing :
       {SOUND_OUTPUT_DOUBLE_BUFFERED, SOUND_OUTPUT_PLAYS_AS_FILLED, SOUND_OUTPUT_REPORTS_HEARD}) {
    SCOPED_TRACE(int(timing));
    output_timing = timing;
    sound_song *song = play(bytes, 512);
    ASSERT_NE(song, nullptr);
    // Handlers running while sound is handed show up as frame -1. The
    // browser's output is handed all ahead and reports each frame's time.
    current_frame = -1;
    hand(timing == SOUND_OUTPUT_REPORTS_HEARD ? length + TEST_RATE : 512);
    int64_t at = 0;
    for (int64_t f = 0; f * TEST_RATE / 60 <= length; ++f) {
      // The frame's time, at most a buffer past what has played, as the
      // smoothed clock gives it.
      at = f * TEST_RATE / 60;
      if (timing == SOUND_OUTPUT_REPORTS_HEARD) output_heard(512 + at);
      int64_t played_us = 0, reported_at_ns = 0;
      current_frame = -1;
      while (sound_song_report(song, &played_us, &reported_at_ns) &&
             played_us + frame_us(512) < frame_us(at))
        hand(512);
      current_frame = f;
      sound_run_cues(song, frame_us(at));
    }
    // Every note, in order, each in the first frame whose time reaches it.
    size_t n = 0;
    for (; n < expected.size() && expected[n].sample * 1000000 <= frame_us(at) * TEST_RATE; ++n) {
      ASSERT_LT(n, fired.size());
      EXPECT_EQ(fired[n].instrument, expected[n].instrument) << "cue " << n;
      int64_t first = 0;
      while (frame_us(first * TEST_RATE / 60) * TEST_RATE < expected[n].sample * 1000000) ++first;
      EXPECT_EQ(fired[n].frame, first) << "cue " << n << " at sample " << expected[n].sample;
    }
    EXPECT_GT(n, 20u);
    EXPECT_EQ(fired.size(), n);
    sound_free_song(song);
    sound_close();
  }
  output_timing = SOUND_OUTPUT_REPORTS_HEARD;
}

} // namespace

// The test's output: the layer's calls, recorded; the test hands the sound.
int sound_output_open(int32_t, int32_t, sound_output_fill fill) {
  output_fill = fill;
  output_open = true;
  return 1;
}
sound_output_timing sound_output_timing_of(sound_output_heard heard) {
  output_heard = heard;
  return output_timing;
}
int sound_output_is_open() { return output_open; }
void sound_output_lock() {}
void sound_output_unlock() {}
void sound_output_resume() {}
void sound_output_close() { output_open = false; }
