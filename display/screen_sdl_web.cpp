// The screen layer's browser side: the page's console takes no stderr worth
// quieting, there is no display server to watch, and waiting hands control
// back to the browser (ASYNCIFY), which draws the canvas and plays the sound
// only while the program is not running.
#include "display/screen_platform.h"

#include <emscripten.h>

void screen_platform_quiet_begin() {}
void screen_platform_quiet_end() {}
void screen_platform_video_started(const char *) {}

int64_t screen_platform_now_ns() { return int64_t(emscripten_get_now() * 1e6); }

void screen_platform_sleep_until_ns(int64_t deadline) {
  int64_t remaining_ms = (deadline - screen_platform_now_ns() + 500000) / 1000000;
  emscripten_sleep(remaining_ms > 0 ? unsigned(remaining_ms) : 0u);
}

void screen_platform_yield() { emscripten_sleep(0); }

int screen_platform_window_fills_desktop() { return 0; }
