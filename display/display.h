// display.h - the fullscreen display: the fullscreen picture with its one
// window and its events, converted for the screen (display/convert.h).
//
// display_open takes over the screen, display_update shows one
// frame (handling the window's events first), display_close gives everything
// back and may run in any state, also after a partial open. Escape or a close
// request closes the display, runs the ending set by display_set_ending, and
// ends the process with status 0.
#pragma once

#include <cstdint>

// How long an update waits for an event while the program is in the
// background, or while the back buffer cannot be had, instead of showing the
// frame.
constexpr uint32_t DISPLAY_INACTIVE_WAIT_MS = 50;

// 1 on success, 0 on failure (what was acquired stays for display_close).
int display_open(const char *title, int32_t width, int32_t height);
// 1 if the frame was handled (shown, or dropped while inactive), 0 if the
// back buffer could not be locked (the update then waited as while inactive).
int display_update(const uint32_t *frame);
void display_close();
// How long from now until a frame composed now is expected on screen, in
// nanoseconds (the screen layer's estimate; 0: at once).
int64_t display_frame_ahead_ns();
// What Escape or a close request runs after closing the display, just before
// the process ends (nullptr, as at start: nothing): whatever of the program
// still runs on threads of its own is stopped there.
void display_set_ending(void (*ending)());
