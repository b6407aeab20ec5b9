// The screen layer's browser side: the page's console takes no stderr worth
// quieting, there is no display server to watch, and waiting hands control
// back to the browser (ASYNCIFY), which draws the canvas and plays the sound
// only while the program is not running.
//
// Frames follow the browser's paints: after each present the program waits
// for the paint at which the next frame is due (refresh_pace.h: 60 frames a
// second at any paint rate, each held on the canvas for the paints its 60th
// of a second covers), and composes within that paint's animation-frame
// callback, so the frame is on screen at that paint.
#include "display/refresh_pace.h"
#include "display/screen_platform.h"

#include <emscripten.h>

// The longest wait for a paint: a page the browser does not paint (hidden,
// or a browser that paints nothing) still turns its frame loop, on a timer
// the browser slows as it sees fit.
static const int32_t LONGEST_PAINT_WAIT_MS = 100;

static refresh_pace web_pace;
static int web_pace_started;

// The time of the next paint (performance.now()'s milliseconds), or -1 when
// none came within `longest_ms`. The program goes on within the browser's
// callback as emscripten's own sleep does (an exit there ends it quietly);
// the link names it among the imports that may wait.
EM_JS(double, screen_web_next_paint, (int32_t longest_ms), {
  return Asyncify.handleSleep((wakeUp) => {
    let timer = 0;
    const paint = requestAnimationFrame((time) => {
      clearTimeout(timer);
      // The page first brings the song clock up to this paint (show.js).
      if (Module['onPaint']) Module['onPaint']();
      callUserCallback(() => wakeUp(time));
    });
    timer = setTimeout(() => {
      cancelAnimationFrame(paint);
      callUserCallback(() => wakeUp(-1));
    }, longest_ms);
  });
});

void screen_platform_quiet_begin() {}
void screen_platform_quiet_end() {}
void screen_platform_video_started(const char *) {
  refresh_pace_reset(&web_pace);
  web_pace_started = 1;
}

int64_t screen_platform_now_ns() { return int64_t(emscripten_get_now() * 1e6); }

void screen_platform_sleep_until_ns(int64_t deadline) {
  int64_t remaining_ms = (deadline - screen_platform_now_ns() + 500000) / 1000000;
  emscripten_sleep(remaining_ms > 0 ? unsigned(remaining_ms) : 0u);
}

// After a present: the paint at which the next frame is due.
void screen_platform_yield() {
  if (!web_pace_started) {
    emscripten_sleep(0);
    return;
  }
  for (;;) {
    const double paint_ms = screen_web_next_paint(LONGEST_PAINT_WAIT_MS);
    if (paint_ms < 0 || refresh_pace_new_frame(&web_pace, int64_t(paint_ms * 1e6))) return;
  }
}

int screen_platform_times_frames() { return 1; }
int screen_platform_window_fills_desktop() { return 0; }
