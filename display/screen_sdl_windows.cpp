// The screen layer's Windows side. A program built for the GUI subsystem has
// no console, so there is nothing to quiet. The clock is the performance
// counter; sleeps wait on a waitable timer (high resolution where the
// system has it), since MinGW's clock_nanosleep fails at once and the frame
// loop would then never sleep.
#include "display/screen_platform.h"

#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

static const int64_t NANOSECONDS = 1000000000;
static const int64_t NANOSECONDS_PER_TIMER_UNIT = 100;

static HANDLE pacing_timer;
static int pacing_timer_tried;

void screen_platform_quiet_begin() {}
void screen_platform_quiet_end() {}
void screen_platform_video_started(const char *) {}

int64_t screen_platform_now_ns() {
  static int64_t ticks_per_second;
  if (ticks_per_second == 0) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency); // never fails since Windows XP
    ticks_per_second = frequency.QuadPart;
  }
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  // Whole seconds and the remainder apart, so the product cannot overflow.
  const int64_t seconds = now.QuadPart / ticks_per_second;
  const int64_t rest = now.QuadPart % ticks_per_second;
  return seconds * NANOSECONDS + rest * NANOSECONDS / ticks_per_second;
}

static HANDLE get_pacing_timer() {
  if (!pacing_timer_tried) {
    pacing_timer_tried = 1;
    pacing_timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (pacing_timer == nullptr) pacing_timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
  }
  return pacing_timer;
}

void screen_platform_sleep_until_ns(int64_t deadline) {
  const int64_t remaining = deadline - screen_platform_now_ns();
  if (remaining <= 0) return;
  if (HANDLE timer = get_pacing_timer()) {
    LARGE_INTEGER due;
    due.QuadPart = -(remaining / NANOSECONDS_PER_TIMER_UNIT); // negative: relative
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(timer, INFINITE);
      return;
    }
  }
  Sleep(DWORD((remaining + 500000) / 1000000));
}

void screen_platform_yield() { SwitchToThread(); }

int screen_platform_times_frames() { return 0; }
int screen_platform_window_fills_desktop() { return 1; }
