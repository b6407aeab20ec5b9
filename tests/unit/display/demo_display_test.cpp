// The program's start-up around the display, with the null screen and a
// music stand-in that records whether it was started and with which cues,
// and whether it was stopped, with the screen still open or not.
#include "music/music.h"
#include "show/show.h"
#include "display/screen_null.h"

#include <gtest/gtest.h>

#include <csetjmp>

namespace {
int music_starts;
int music_start_result;
music_cue_handlers music_cues;
int music_stops;
int music_stopped_with_screen_open;
int32_t clock_samples, cue_runs, misordered_cue_runs;
} // namespace

int music_start(const music_cue_handlers *handlers, sound_song **song) {
  ++music_starts;
  music_cues = *handlers;
  *song = nullptr;
  return music_start_result;
}

// Each frame samples the clock, then runs the cues heard by then, once.
int32_t music_time_ms(sound_song *, int64_t) { return ++clock_samples, 0; }
void music_run_cues(sound_song *) { misordered_cue_runs += ++cue_runs != clock_samples; }

void music_stop() {
  ++music_stops;
  music_stopped_with_screen_open += screen_null.open;
}

namespace {

class Demo : public ::testing::Test {
protected:
  void SetUp() override {
    screen_null_reset();
    music_starts = 0;
    music_cues = {};
    music_start_result = 1;
    music_stops = music_stopped_with_screen_open = 0;
    clock_samples = cue_runs = misordered_cue_runs = 0;
  }
};

TEST_F(Demo, ADisplayThatCannotOpenEndsWithOneBeforeTheMusicStarts) {
  screen_null.has_screen = 0;
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 0);

  screen_null_reset();
  screen_null.layout.bits = 8; // no converter for it
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 0);
  EXPECT_EQ(screen_null.misuse, 0);
}

TEST_F(Demo, MusicThatCannotStartClosesTheDisplayAndEndsWithOne) {
  music_start_result = 0;
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 1);
  EXPECT_EQ(screen_null.open, 0);
  EXPECT_EQ(screen_null.awake, 0);
  EXPECT_EQ(screen_null.misuse, 0);
}

void escape_after_third_present(int32_t presents) {
  if (presents == 3) screen_null.events.push_back({SCREEN_EVENT_KEY_DOWN, SCREEN_KEY_ESCAPE});
}

TEST_F(Demo, ShowsFramesUntilEscapeThenEndsWithZero) {
  screen_null.events = {{SCREEN_EVENT_FOCUS, 1}};
  screen_null.present_hook = escape_after_third_present;
  std::jmp_buf jump;
  screen_null.exit_jump = &jump;
  if (setjmp(jump) == 0) {
    demo_main();
    FAIL() << "demo_main returned";
  }
  screen_null.exit_jump = nullptr;
  EXPECT_EQ(screen_null.exit_status, 0);
  EXPECT_EQ(screen_null.presented.size(), 3u);
  EXPECT_GE(cue_runs, 3);
  EXPECT_EQ(cue_runs, clock_samples);
  EXPECT_EQ(misordered_cue_runs, 0);
  EXPECT_EQ(music_starts, 1);
  // The show's own handlers go to the music.
  EXPECT_EQ(music_cues.next_scene, &on_cue_next_scene);
  EXPECT_EQ(music_cues.logo, &on_cue_logo);
  EXPECT_EQ(music_cues.credits, &on_cue_credits);
  // The sound's threads are stopped before the end, the screen given back first.
  EXPECT_EQ(music_stops, 1);
  EXPECT_EQ(music_stopped_with_screen_open, 0);
  EXPECT_EQ(screen_null.open, 0);
  EXPECT_EQ(screen_null.misuse, 0);
}

} // namespace
