// screen_platform.h - what the SDL2 screen layer (screen_sdl.cpp) takes from
// the operating system, one file per system chosen by the build:
//   screen_sdl_linux.cpp    Linux: stderr through /dev/null, Xlib's handlers,
//                           CLOCK_MONOTONIC and clock_nanosleep
//   screen_sdl_windows.cpp  Windows: the performance counter and a waitable
//                           timer; nothing to quiet
//   screen_sdl_web.cpp      the browser: waits hand control back to the page,
//                           frames follow its paints
#pragma once

#include <cstdint>

// Around calls into libraries that may write to stderr on their own: what
// they write goes nowhere. Calls pair up and do not nest.
void screen_platform_quiet_begin();
void screen_platform_quiet_end();
// Called once SDL's video runs on `driver` (SDL's name for it).
void screen_platform_video_started(const char *driver);
// A monotonic clock in nanoseconds, and a sleep until a time on it.
int64_t screen_platform_now_ns();
void screen_platform_sleep_until_ns(int64_t deadline);
// Gives up the processor for the rest of the time slice; in a browser,
// lets the page run (draw, play sound, take input) until the paint at which
// the next frame is due (60 frames a second at any paint rate).
void screen_platform_yield();
// 1 where the system itself times the frames: each yield after a present
// returns when the next frame is due (the browser, at its paints); 0 where
// the screen layer paces them (display/pace.h).
int screen_platform_times_frames();
// 1: the window covers the whole desktop; 0: it is the page's canvas, sized
// to the picture, which the page scales and makes fullscreen.
int screen_platform_window_fills_desktop();
