// The SDL2 screen layer without a real screen: no display server at all, and
// SDL's dummy video driver, which presents without waiting for any refresh.
#include "display/convert.h"
#include "display/display.h"
#include "display/pace.h"
#include "display/screen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

double seconds(clockid_t clock) {
  timespec now;
  clock_gettime(clock, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

TEST(ScreenSdl, WithoutADisplayOpenFailsAndCloseStopsEverything) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  EXPECT_EQ(display_open("QUARVELIN", 640, 480), 0);
  display_close();
  display_close();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  // The screen can be had once the display is closed.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  EXPECT_EQ(display_open("QUARVELIN", 640, 480), 1);
  display_close();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(ScreenSdl, PresentsOnADriverThatDoesNotWaitAreSleptToTheRefreshRate) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen_pixel_layout layout{};
  ASSERT_EQ(screen_open("QUARVELIN", "IDI_MAIN", 640, 480, &layout), 1);
  EXPECT_NE(select_converter(layout.bits, layout.red_mask, layout.green_mask, layout.blue_mask),
            nullptr);
  // Nothing can take the focus on this driver: the window starts with it.
  screen_event event{};
  bool focused = false;
  while (screen_next_event(&event)) focused |= event.kind == SCREEN_EVENT_FOCUS && event.value == 1;
  EXPECT_TRUE(focused);

  SDL_DisplayMode desktop;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  const double interval = 1.0 / (desktop.refresh_rate > 0 ? desktop.refresh_rate : 60);
  // The first window of presents shows that this driver does not wait; from
  // then on each present is slept to the next refresh.
  const int window_first = PACE_WARM_UP_PRESENTS, window_last = window_first + PACE_WINDOW_PRESENTS;
  const int watched = window_last + 7, paced = 15;
  double window_start = 0, window_end = 0, start = 0;
  for (int i = 0; i < watched + paced; ++i) {
    if (i == watched) start = seconds(CLOCK_MONOTONIC);
    int32_t pitch = 0;
    uint8_t *pixels = screen_lock(&pitch);
    ASSERT_NE(pixels, nullptr);
    EXPECT_GE(pitch, 640 * 4);
    pixels[0] = uint8_t(i);
    EXPECT_EQ(screen_present(), 1);
    if (i == window_first - 1) window_start = seconds(CLOCK_MONOTONIC);
    if (i == window_last - 1) window_end = seconds(CLOCK_MONOTONIC);
  }
  // A machine so busy that a frame takes three quarters of a 60th of a second
  // rightly keeps presenting back to back; below that (with room for the
  // few microseconds around each present) the presents must be slept.
  const double window_each = (window_end - window_start) / PACE_WINDOW_PRESENTS;
  if (window_each * 4 < 3 * double(PACE_FRAME_NS) * 1e-9 * 0.9) {
    EXPECT_EQ(pace_by_sleep(), 1);
  }
  // Slept presents are due whole intervals apart: a busy machine only makes
  // this longer, a missing sleep makes it far shorter.
  if (pace_by_sleep()) {
    EXPECT_GE(seconds(CLOCK_MONOTONIC) - start, (paced - 1) * interval * 0.95);
  }

  screen_keep_awake(1);
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());
  screen_close();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  screen_close(); // twice is harmless
}

SDL_Event window_event(Uint8 which) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = which;
  return event;
}

SDL_Event key_down(SDL_Keycode key) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = key;
  return event;
}

SDL_Event of_type(Uint32 type) {
  SDL_Event event{};
  event.type = type;
  return event;
}

TEST(ScreenSdl, EventsArriveAsFocusKeysAndQuitAndAResetBackBufferIsMadeAgain) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen_pixel_layout layout{};
  ASSERT_EQ(screen_open("QUARVELIN", "IDI_MAIN", 640, 480, &layout), 1);
  screen_event event;
  while (screen_next_event(&event)) {
  }

  SDL_Event pushed[] = {window_event(SDL_WINDOWEVENT_FOCUS_LOST),
                        window_event(SDL_WINDOWEVENT_MINIMIZED),
                        window_event(SDL_WINDOWEVENT_RESTORED),
                        window_event(SDL_WINDOWEVENT_FOCUS_GAINED),
                        window_event(SDL_WINDOWEVENT_MOVED),
                        key_down(SDLK_ESCAPE),
                        key_down(SDLK_a),
                        key_down(SDLK_F1),
                        window_event(SDL_WINDOWEVENT_CLOSE),
                        of_type(SDL_QUIT),
                        of_type(SDL_RENDER_TARGETS_RESET)};
  for (SDL_Event &e : pushed) ASSERT_EQ(SDL_PushEvent(&e), 1);
  const int32_t expected[][2] = {
      {SCREEN_EVENT_FOCUS, 0},         {SCREEN_EVENT_FOCUS, 0},
      {SCREEN_EVENT_FOCUS, 1},         {SCREEN_EVENT_FOCUS, 1},
      {SCREEN_EVENT_OTHER, 0},         {SCREEN_EVENT_KEY_DOWN, SCREEN_KEY_ESCAPE},
      {SCREEN_EVENT_KEY_DOWN, SDLK_a}, {SCREEN_EVENT_KEY_DOWN, SDLK_F1},
      {SCREEN_EVENT_QUIT, 0},          {SCREEN_EVENT_QUIT, 0},
      {SCREEN_EVENT_OTHER, 0}};
  for (const auto &want : expected) {
    ASSERT_EQ(screen_next_event(&event), 1);
    EXPECT_EQ(event.kind, want[0]);
    EXPECT_EQ(event.value, want[1]);
  }
  EXPECT_EQ(screen_next_event(&event), 0);
  // No key but Escape reads as Escape, which ends the show.
  std::vector<SDL_Keycode> keys;
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
    if (SDL_Event down = key_down(SDL_GetKeyFromScancode(SDL_Scancode(scancode)));
        down.key.keysym.sym != SDLK_UNKNOWN && SDL_PushEvent(&down) == 1)
      keys.push_back(down.key.keysym.sym);
  for (SDL_Keycode key : keys) {
    ASSERT_EQ(screen_next_event(&event), 1) << SDL_GetKeyName(key);
    EXPECT_EQ(event.value == SCREEN_KEY_ESCAPE, key == SDLK_ESCAPE) << SDL_GetKeyName(key);
  }

  // After the reset the back buffer is made again and takes a frame.
  int32_t pitch = 0;
  ASSERT_NE(screen_lock(&pitch), nullptr);
  EXPECT_EQ(screen_present(), 1);
  // A present without a lock has nothing to show.
  EXPECT_EQ(screen_present(), 0);
  screen_close();
}

SDL_Window *shown_window() {
  for (Uint32 id = 1; id < 16; ++id)
    if (SDL_Window *window = SDL_GetWindowFromID(id)) return window;
  return nullptr;
}

// Without a GPU (SDL's dummy driver renders in software) the screen scales
// into the window's surface; after the window changes size the picture is
// placed anew and the bars are written black over whatever the new surface
// held. Forced, the renderer draws instead.
TEST(ScreenSdl, WithoutAGpuThePictureIsScaledIntoTheWindowSurfaceAlsoAfterAResize) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen_pixel_layout layout{};
  ASSERT_EQ(screen_open("QUARVELIN", "IDI_MAIN", 640, 480, &layout), 1);
  ASSERT_EQ(layout.bits, 32u);
  SDL_Window *window = shown_window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SDL_GetRenderer(window), nullptr);

  auto present_frame = [] {
    int32_t pitch = 0;
    uint8_t *pixels = screen_lock(&pitch);
    ASSERT_NE(pixels, nullptr);
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) {
        const uint32_t pixel = 0x010000u * uint32_t(x & 0xFF) + 0x100u * uint32_t(y & 0xFF) + 1;
        std::memcpy(pixels + y * pitch + x * 4, &pixel, 4);
      }
    EXPECT_EQ(screen_present(), 1);
  };
  // 1000 x 500: the picture is 666 x 500 from column 167, bars beside it.
  SDL_SetWindowFullscreen(window, 0);
  SDL_SetWindowSize(window, 1000, 500);
  screen_event event;
  while (screen_next_event(&event)) {
  }
  SDL_Surface *surface = SDL_GetWindowSurface(window);
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->w, 1000);
  std::memset(surface->pixels, 0xFF, size_t(surface->pitch) * size_t(surface->h));
  present_frame();
  auto at = [&](int32_t x, int32_t y) {
    uint32_t pixel;
    std::memcpy(&pixel, static_cast<uint8_t *>(surface->pixels) + y * surface->pitch + x * 4, 4);
    return pixel & 0xFFFFFFu;
  };
  EXPECT_EQ(at(0, 0), 0u);
  EXPECT_EQ(at(166, 250), 0u);
  EXPECT_EQ(at(833, 499), 0u);
  EXPECT_EQ(at(999, 0), 0u);
  // Screen (167 + i, j) shows frame ((2i + 1) * 640 / 1332, (2j + 1) * 480 / 1000).
  EXPECT_EQ(at(167, 0), 0x000001u);
  EXPECT_EQ(at(167 + 665, 499), 0x010000u * (639 & 0xFF) + 0x100u * (479 & 0xFF) + 1);
  EXPECT_EQ(at(167 + 300, 100), 0x010000u * (288 & 0xFF) + 0x100u * 96 + 1);
  screen_close();

  setenv("QUARVELIN_SCALE_BY_RENDERER", "1", 1);
  ASSERT_EQ(screen_open("QUARVELIN", "IDI_MAIN", 640, 480, &layout), 1);
  unsetenv("QUARVELIN_SCALE_BY_RENDERER");
  window = shown_window();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(SDL_GetRenderer(window), nullptr);
  present_frame();
  screen_close();
}

// A simulated screen for the pacing: presents that wait for the next refresh
// (every `refresh_ns`, from `phase_ns`) or return at once, a frame loop that
// takes `compose_ns` to compose and draw, and sleeps that end on time. It
// records, for each composed frame, how many refreshes it stayed on screen.
struct simulated_screen {
  int64_t refresh_ns = 0;
  bool waits = true;
  int64_t compose_ns = 3000000;
  int64_t phase_ns = 0;
  int64_t late_ns = 0;        // a waiting present returns up to this late (a busy machine)
  int32_t stall_every = 0;    // every so many frames composing takes a refresh and a half more
  uint32_t random = 12345;
  int64_t now = 1000000000;
  std::vector<int64_t> composed_at; // when each frame was presented first
  std::vector<int32_t> holds;       // refreshes each frame was presented at

  // Runs the loop for `seconds` of simulated time.
  void run(double seconds) {
    const int64_t end = now + int64_t(seconds * 1e9);
    while (now < end) {
      now += compose_ns;
      if (stall_every > 0 && composed_at.size() % size_t(stall_every) == 0)
        now += refresh_ns * 3 / 2;
      composed_at.push_back(now);
      holds.push_back(0);
      for (;;) {
        const int64_t called = now;
        if (waits) {
          now += refresh_ns - (now - phase_ns) % refresh_ns;
          random = random * 1103515245u + 12345u;
          if (late_ns > 0) now += int64_t(random >> 8) % late_ns;
        }
        ++holds.back();
        int64_t sleep_until = 0;
        const int32_t step = pace_after_present(called, now, &sleep_until);
        if (sleep_until != 0) now = sleep_until;
        if (step == PACE_COMPOSE) break;
      }
    }
  }
  // Composed frames a second over the last `seconds`.
  double frames_per_second(double seconds) const {
    const int64_t from = now - int64_t(seconds * 1e9);
    int64_t count = 0;
    for (int64_t at : composed_at) count += at >= from;
    return double(count) / seconds;
  }
  // The holds of the frames of the last `seconds`, but the last frame's.
  std::vector<int32_t> last_holds(double seconds) const {
    const int64_t from = now - int64_t(seconds * 1e9);
    std::vector<int32_t> last;
    for (size_t i = 0; i + 1 < holds.size(); ++i)
      if (composed_at[i] >= from) last.push_back(holds[i]);
    return last;
  }
};

int64_t interval_of(double hz) { return int64_t(1e9 / hz + 0.5); }

// At every refresh 60 frames are composed a second; each stays for the
// whole refreshes its 60th of a second covers, rounded down or up, never
// fewer; within 1 % of 60 Hz every refresh gets a new frame. A rate
// reported as 0 or wrongly is measured from the presents.
TEST(Pace, SixtyComposedFramesASecondHeldForTheRefreshesEachCovers) {
  struct rate {
    double hz;          // the screen's
    double reported_hz; // what the system says (0: nothing)
    int32_t fewest, most;
  };
  const rate rates[] = {{60, 60, 1, 1},     {59.94, 59, 1, 1},   {60.02, 0, 1, 1},
                        {62.5, 60, 1, 2},   {75, 75, 1, 2},      {120, 120, 2, 2},
                        {144, 144, 2, 3},   {144, 0, 2, 3},      {166.67, 144, 2, 3},
                        {165, 165, 2, 3},   {240, 240, 4, 4},    {90, 60, 1, 2}};
  for (const rate &r : rates) {
    for (int64_t phase : {int64_t(0), int64_t(5300000)}) {
      SCOPED_TRACE(testing::Message() << r.hz << " Hz reported as " << r.reported_hz
                                      << ", phase " << phase);
      pace_start(r.reported_hz > 0 ? int64_t(1e9 / r.reported_hz) : 0);
      simulated_screen screen;
      screen.refresh_ns = interval_of(r.hz);
      screen.phase_ns = phase;
      screen.run(4);
      EXPECT_FALSE(pace_by_sleep());
      // The next frame shows at the refresh after the present that ended the run.
      EXPECT_EQ(pace_frame_ahead_ns(screen.now), pace_refresh_ns());
      const double expected = r.hz > 59.4 && r.hz < 60.6 ? r.hz : 60;
      EXPECT_NEAR(screen.frames_per_second(2), expected, 1.0);
      const std::vector<int32_t> holds = screen.last_holds(2);
      ASSERT_FALSE(holds.empty());
      EXPECT_EQ(*std::min_element(holds.begin(), holds.end()), r.fewest);
      EXPECT_EQ(*std::max_element(holds.begin(), holds.end()), r.most);
      // The holds alternate: never two of the longer where a shorter fits between.
      if (r.most == r.fewest + 1 && r.hz / 60 - r.fewest < 0.5) {
        for (size_t i = 1; i < holds.size(); ++i)
          EXPECT_FALSE(holds[i] == r.most && holds[i - 1] == r.most) << "at frame " << i;
      }
    }
  }
}

// On a busy machine presents return late by up to a quarter of a refresh
// and now and then a frame takes far longer to compose: the refresh is
// still measured right, and no frame stays fewer refreshes.
TEST(Pace, ABusyMachineNeverShortensAHold) {
  for (const double hz : {120.0, 144.0, 240.0}) {
    SCOPED_TRACE(testing::Message() << hz << " Hz");
    pace_start(0);
    simulated_screen screen;
    screen.refresh_ns = interval_of(hz);
    screen.late_ns = screen.refresh_ns / 4;
    screen.stall_every = 37;
    screen.run(6);
    EXPECT_FALSE(pace_by_sleep());
    EXPECT_NEAR(double(pace_refresh_ns()), double(screen.refresh_ns), double(screen.refresh_ns) * 0.01);
    EXPECT_NEAR(screen.frames_per_second(4), 60, 3.0);
    const std::vector<int32_t> holds = screen.last_holds(4);
    EXPECT_EQ(*std::min_element(holds.begin(), holds.end()), int32_t(hz / 60));
    if (hz != 144.0) {
      EXPECT_EQ(*std::max_element(holds.begin(), holds.end()), int32_t(hz / 60));
    }
  }
}

// Presents that return at once are slept to the next 60th of a second;
// once they wait for a refresh (a compositor that starts throttling, a
// window moved to another screen) refreshes are counted again, and back.
TEST(Pace, TheWayIsCheckedAgainWhenPresentsChangeTheirRhythm) {
  pace_start(interval_of(144));
  simulated_screen screen;
  screen.refresh_ns = interval_of(144);
  screen.waits = false;
  screen.compose_ns = 6000000; // near the reported refresh, far below a 60th
  screen.run(2);
  EXPECT_TRUE(pace_by_sleep());
  EXPECT_EQ(pace_frame_ahead_ns(screen.now), 0); // shown as soon as it is drawn
  EXPECT_NEAR(screen.frames_per_second(1), 60, 1.0);
  for (int32_t hold : screen.last_holds(1)) EXPECT_EQ(hold, 1);

  screen.waits = true;
  screen.compose_ns = 3000000;
  screen.run(4);
  EXPECT_FALSE(pace_by_sleep());
  EXPECT_NEAR(double(pace_refresh_ns()), double(interval_of(144)), 20000.0);
  EXPECT_NEAR(screen.frames_per_second(2), 60, 1.0);
  const std::vector<int32_t> holds = screen.last_holds(2);
  EXPECT_EQ(*std::min_element(holds.begin(), holds.end()), 2);

  // Moved to a 120 Hz screen: measured again.
  screen.refresh_ns = interval_of(120);
  screen.run(3);
  EXPECT_NEAR(double(pace_refresh_ns()), double(interval_of(120)), 20000.0);
  for (int32_t hold : screen.last_holds(1)) EXPECT_EQ(hold, 2);

  screen.waits = false;
  screen.run(2);
  EXPECT_TRUE(pace_by_sleep());
  EXPECT_NEAR(screen.frames_per_second(1), 60, 1.0);
}

} // namespace
