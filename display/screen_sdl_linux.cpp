// The screen layer's Linux side: quieting stderr with file descriptors,
// Xlib's error handlers, and the monotonic clock's absolute sleep.
#include "display/screen_platform.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

static const int64_t NANOSECONDS = 1000000000;

// Libraries that SDL loads while it looks for a display or a renderer
// (Wayland's client library, Mesa) may complain on stderr on their own.
// The program prints nothing, so their stderr goes nowhere while they run.
static int quiet_saved_stderr = -1;

void screen_platform_quiet_begin() {
  std::fflush(stderr);
  int null_device = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_device < 0) return;
  quiet_saved_stderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (quiet_saved_stderr >= 0) dup2(null_device, STDERR_FILENO);
  close(null_device);
}

void screen_platform_quiet_end() {
  if (quiet_saved_stderr < 0) return;
  std::fflush(stderr);
  dup2(quiet_saved_stderr, STDERR_FILENO);
  close(quiet_saved_stderr);
  quiet_saved_stderr = -1;
}

// The X server went away under us (the session ended). Xlib would print
// why and exit; the program prints nothing, and nothing is left to give
// back on a display that is gone.
static int display_lost(Display *) { std::_Exit(1); }
// A failed X request (a window that vanished in a race, say) would make
// Xlib print and exit; the request's effect is simply missing.
static int ignore_x_error(Display *, XErrorEvent *) { return 0; }

void screen_platform_video_started(const char *driver) {
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return;
  XSetIOErrorHandler(display_lost);
  XSetErrorHandler(ignore_x_error);
}

int64_t screen_platform_now_ns() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * NANOSECONDS + now.tv_nsec;
}

void screen_platform_sleep_until_ns(int64_t deadline) {
  timespec until;
  until.tv_sec = time_t(deadline / NANOSECONDS);
  until.tv_nsec = long(deadline % NANOSECONDS);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

void screen_platform_yield() { sched_yield(); }

int screen_platform_times_frames() { return 0; }
int screen_platform_window_fills_desktop() { return 1; }
