// The SDL2 screen layer without a real screen: no display server at all, and
// SDL's dummy video driver, which presents without waiting for any refresh.
#include "display/display.h"
#include "display/screen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
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
}

TEST(ScreenSdl, FlipsOnADriverThatDoesNotWaitAreSleptToTheRefreshRate) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen_library *library = screen_load_library();
  ASSERT_NE(library, nullptr);
  screen_device *device = screen_create_device(library);
  ASSERT_NE(device, nullptr);
  screen_window *window = screen_create_window("QUARVELIN", "IDI_MAIN");
  ASSERT_NE(window, nullptr);
  // Nothing can take the focus on this driver: the window starts with it.
  screen_event event{};
  bool focused = false;
  while (screen_next_event(window, &event))
    focused |= event.kind == SCREEN_EVENT_FOCUS && event.value == 1;
  EXPECT_TRUE(focused);
  ASSERT_EQ(screen_set_cooperative_level(device, window, 1), 1);
  // The dummy desktop is 32-bit XRGB.
  EXPECT_EQ(screen_set_mode(device, 640, 480, 16), 0);
  ASSERT_EQ(screen_set_mode(device, 640, 480, 32), 1);
  screen_surface *primary = screen_create_flip_chain(device, 2);
  ASSERT_NE(primary, nullptr);
  screen_surface *back = screen_get_back_buffer(primary);
  ASSERT_NE(back, nullptr);
  screen_pixel_layout layout{};
  ASSERT_EQ(screen_get_pixel_layout(primary, &layout), 1);
  EXPECT_NE(select_converter(layout.bits, layout.red_mask, layout.green_mask, layout.blue_mask),
            nullptr);

  SDL_DisplayMode desktop;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  double interval = 1.0 / (desktop.refresh_rate > 0 ? desktop.refresh_rate : 60);
  const int flips = 13;
  double wall_start = seconds(CLOCK_MONOTONIC), cpu_start = seconds(CLOCK_PROCESS_CPUTIME_ID);
  for (int i = 0; i < flips; ++i) {
    ASSERT_EQ(screen_restore(primary), 1);
    int32_t pitch = 0;
    uint8_t *pixels = screen_lock(back, &pitch);
    ASSERT_NE(pixels, nullptr);
    EXPECT_GE(pitch, 640 * 4);
    pixels[0] = uint8_t(i);
    screen_unlock(back);
    EXPECT_EQ(screen_flip(primary), 1);
  }
  double wall = seconds(CLOCK_MONOTONIC) - wall_start;
  double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
  // Twelve whole intervals lie between the first flip and the last ...
  EXPECT_GE(wall, (flips - 1) * interval * 0.95);
  // ... and they were slept, not spun.
  EXPECT_LT(cpu, wall * 0.5);

  screen_release_flip_chain(primary);
  screen_restore_mode(device);
  screen_set_cooperative_level(device, window, 0);
  screen_release_device(device);
  screen_destroy_window(window);
  screen_unload_library(library);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
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

TEST(ScreenSdl, EventsArriveAsFocusKeysAndQuitAndAResetIsRestored) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  screen_library *library = screen_load_library();
  ASSERT_NE(library, nullptr);
  screen_device *device = screen_create_device(library);
  screen_window *window = screen_create_window("QUARVELIN", "IDI_MAIN");
  ASSERT_EQ(screen_set_cooperative_level(device, window, 1), 1);
  ASSERT_EQ(screen_set_mode(device, 640, 480, 32), 1);
  screen_surface *primary = screen_create_flip_chain(device, 2);
  ASSERT_NE(primary, nullptr);
  screen_event event;
  while (screen_next_event(window, &event)) {
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
    ASSERT_EQ(screen_next_event(window, &event), 1);
    EXPECT_EQ(event.kind, want[0]);
    EXPECT_EQ(event.value, want[1]);
  }
  EXPECT_EQ(screen_next_event(window, &event), 0);
  EXPECT_NE(SDLK_F1, SCREEN_KEY_ESCAPE);

  // After the reset the back buffer is made again and takes a frame.
  ASSERT_EQ(screen_restore(primary), 1);
  int32_t pitch = 0;
  ASSERT_NE(screen_lock(screen_get_back_buffer(primary), &pitch), nullptr);
  screen_unlock(screen_get_back_buffer(primary));
  EXPECT_EQ(screen_flip(primary), 1);

  screen_release_flip_chain(primary);
  screen_restore_mode(device);
  screen_set_cooperative_level(device, window, 0);
  screen_release_device(device);
  screen_destroy_window(window);
  screen_unload_library(library);
}

} // namespace
