// The SDL output's watcher on SDL's dummy driver, with a device removal
// reported as SDL reports one. The linker wraps SDL_OpenAudioDevice (--wrap)
// so a test can hold an open, as a sound server that takes the connection
// and never answers does.
#include "music/sound_output.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::atomic<int32_t> fills{0}, opens{0}, opens_waiting{0};
std::atomic<SDL_AudioDeviceID> last_opened{0};
std::atomic<bool> opens_held{false}, closed{false};

void count_fill(int16_t *out, int32_t frames) {
  std::memset(out, 0, size_t(frames) * 4);
  ++fills;
}

void sleep_ms(int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

extern "C" {
SDL_AudioDeviceID __real_SDL_OpenAudioDevice(const char *, int, const SDL_AudioSpec *, SDL_AudioSpec *, int);

SDL_AudioDeviceID __wrap_SDL_OpenAudioDevice(const char *name, int capture, const SDL_AudioSpec *wanted,
                                             SDL_AudioSpec *obtained, int changes) {
  ++opens;
  ++opens_waiting;
  while (opens_held) sleep_ms(1);
  --opens_waiting;
  last_opened = __real_SDL_OpenAudioDevice(name, capture, wanted, obtained, changes);
  return last_opened;
}

}

namespace {

// Only ends a wait for something that has stopped happening, however busy
// the machine.
template <typename Condition> bool wait_until(Condition condition) {
  for (int32_t waited = 0; !condition(); waited += 2) {
    if (waited > 30000) return false;
    sleep_ms(2);
  }
  return true;
}

// As SDL reports a device gone: the watch sees the event as it is pushed.
void report_removed(SDL_AudioDeviceID device) {
  SDL_Event event;
  SDL_zero(event);
  event.type = SDL_AUDIODEVICEREMOVED;
  event.adevice.which = device;
  SDL_PushEvent(&event);
}

class OutputWatch : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    ASSERT_EQ(sound_output_open(32000, 512, count_fill), 1);
    sound_output_resume();
    const int32_t before = fills.load();
    ASSERT_TRUE(wait_until([&] { return fills.load() > before + 2; }));
  }
  void TearDown() override {
    opens_held = false;
    sound_output_close();
  }
};

TEST_F(OutputWatch, ARemovedDeviceStopsTheSongAtOnceAndANewOnePlaysItOn) {
  opens_held = true; // no new device yet
  const int32_t opened = opens.load();
  report_removed(last_opened.load());
  const int32_t at_removal = fills.load();
  sleep_ms(100); // six of its buffers
  // At most the call running as the removal was noted.
  EXPECT_LE(fills.load() - at_removal, 1);
  opens_held = false;
  ASSERT_TRUE(wait_until([&] { return opens.load() > opened; }));
  const int32_t reopened = fills.load();
  EXPECT_TRUE(wait_until([&] { return fills.load() > reopened + 2; }));
}

TEST_F(OutputWatch, ARemovalNoteDoesNotOutliveTheClose) {
  report_removed(last_opened.load());
  sound_output_close();
  ASSERT_EQ(sound_output_open(32000, 512, count_fill), 1); // SDL gives it the same number
  sound_output_resume();
  const int32_t opened = opens.load();
  sleep_ms(800); // three looks of the watcher
  EXPECT_EQ(opens.load(), opened);
}

TEST_F(OutputWatch, CloseLeavesAWatcherBlockedInAnOpenBehindAndItNeverPlays) {
  opens_held = true;
  report_removed(last_opened.load());
  ASSERT_TRUE(wait_until([] { return opens_waiting == 1; }));
  closed = false;
  std::thread([] {
    sound_output_close();
    closed = true;
  }).detach();
  ASSERT_TRUE(wait_until([&] { return closed.load(); })) << "close waits on the blocked open";
  EXPECT_EQ(sound_output_is_open(), 0);
  EXPECT_EQ(sound_output_open(32000, 512, count_fill), 0); // not under the watcher
  const int32_t silent = fills.load();
  opens_held = false;
  // Once its open returns, the watcher closes what it opened and ends.
  ASSERT_TRUE(wait_until([] { return sound_output_open(32000, 512, count_fill) == 1; }));
  EXPECT_EQ(fills.load(), silent);
  sound_output_resume();
  EXPECT_TRUE(wait_until([&] { return fills.load() > silent + 2; }));
}

} // namespace
