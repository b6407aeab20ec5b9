// The SDL2 screen layer without a real screen: no display server at all, and
// SDL's dummy video driver, which presents without waiting for any refresh.
#include "display/convert.h"
#include "display/display.h"
#include "display/screen.h"

#include <SDL.h>
#include <gtest/gtest.h>

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
  // The first presents show that this driver does not wait; from then on
  // each one is slept to the next refresh.
  const int watched = 40, paced = 15;
  double start = 0;
  for (int i = 0; i < watched + paced; ++i) {
    if (i == watched) start = seconds(CLOCK_MONOTONIC);
    int32_t pitch = 0;
    uint8_t *pixels = screen_lock(&pitch);
    ASSERT_NE(pixels, nullptr);
    EXPECT_GE(pitch, 640 * 4);
    pixels[0] = uint8_t(i);
    EXPECT_EQ(screen_present(), 1);
  }
  // A busy machine only makes this longer; a missing sleep makes it far
  // shorter.
  EXPECT_GE(seconds(CLOCK_MONOTONIC) - start, (paced - 1) * interval * 0.95);

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

} // namespace
