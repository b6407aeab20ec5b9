// The program's start-up around the display, with the in-memory screen and
// a music stand-in that records whether it was started.
#include "display/screen_memory.h"
#include "music/music.h"
#include "show/show.h"

#include <gtest/gtest.h>

#include <csetjmp>

namespace {
int music_starts;
int music_start_result;
} // namespace

int music_start(sound_song **song) {
  ++music_starts;
  *song = nullptr;
  return music_start_result;
}

int32_t music_time_ms(sound_song *) { return 0; }

namespace {

class Demo : public ::testing::Test {
protected:
  void SetUp() override {
    screen_memory_reset();
    music_starts = 0;
    music_start_result = 1;
  }
};

TEST_F(Demo, ADisplayThatCannotOpenEndsWithOneBeforeTheMusicStarts) {
  screen_memory.failing_steps = SCREEN_STEP_LOAD_LIBRARY;
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 0);

  screen_memory_reset();
  screen_memory.modes.clear(); // no depth at all
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 0);
  EXPECT_EQ(screen_memory.misuse, 0);
}

TEST_F(Demo, MusicThatCannotStartClosesTheDisplayAndEndsWithOne) {
  music_start_result = 0;
  EXPECT_EQ(demo_main(), 1);
  EXPECT_EQ(music_starts, 1);
  EXPECT_EQ(screen_memory.library_loaded, 0);
  EXPECT_EQ(screen_memory.window_alive, 0);
  EXPECT_EQ(screen_memory.screen_saver_suspended, 0);
  EXPECT_EQ(screen_memory.misuse, 0);
}

void escape_after_third_flip(int32_t flips) {
  if (flips == 3) screen_memory.events.push_back({SCREEN_EVENT_KEY_DOWN, SCREEN_KEY_ESCAPE});
}

TEST_F(Demo, ShowsFramesUntilEscapeThenEndsWithZero) {
  screen_memory.events = {{SCREEN_EVENT_FOCUS, 1}};
  screen_memory.flip_hook = escape_after_third_flip;
  std::jmp_buf jump;
  screen_memory.exit_jump = &jump;
  if (setjmp(jump) == 0) {
    demo_main();
    FAIL() << "demo_main returned";
  }
  screen_memory.exit_jump = nullptr;
  EXPECT_EQ(screen_memory.exit_status, 0);
  EXPECT_EQ(screen_memory.flips, 3);
  EXPECT_EQ(music_starts, 1);
  EXPECT_EQ(screen_memory.library_loaded, 0);
  EXPECT_EQ(screen_memory.misuse, 0);
}

} // namespace
