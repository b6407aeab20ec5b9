// screen.h - the screen layer: what the display (display.cpp) needs from the
// platform to show one fullscreen picture in one window and hear its events.
//
// Implementations, chosen at link time:
//   screen_sdl.cpp                SDL2: a borderless window covering the
//                                 desktop, the picture scaled with its aspect
//                                 kept, in the desktop's own pixel format (by
//                                 the GPU where there is one, else on the
//                                 processor into the window's surface)
//   display/screen_null.cpp no screen: keeps what was presented and
//                                 hands out events queued by tests
//
// There is one screen per process: screen_open, then per frame lock (write
// the rows at the pitch), present; screen_close gives it all back and may be
// called in any state, also after a failed or partial open. Everything runs
// on the frame loop's thread.
#pragma once

#include <cstdint>

// The screen's pixel layout: flags, bits per pixel (a 15-bit layout reports
// 16; a 32-bit word holding 24 bits of colour reports 32) and the masks.
constexpr uint32_t SCREEN_LAYOUT_RGB = 1; // direct colour described by the masks
struct screen_pixel_layout {
  uint32_t flags;
  uint32_t bits;
  uint32_t red_mask;
  uint32_t green_mask;
  uint32_t blue_mask;
};

enum screen_event_kind : int32_t {
  SCREEN_EVENT_OTHER = 0, // nothing the display acts on
  SCREEN_EVENT_FOCUS,     // value 1: the program has the focus; 0: lost or
                          // minimised
  SCREEN_EVENT_KEY_DOWN,  // value: key code (SCREEN_KEY_ESCAPE, or anything
                          // else)
  SCREEN_EVENT_QUIT,      // the window is asked to close, or the process to end
};
constexpr int32_t SCREEN_KEY_ESCAPE = 27;
struct screen_event {
  int32_t kind;
  int32_t value;
};

// Opens the program's window over the whole screen, with `title` and the
// icon named `icon_name`, the cursor hidden, and a width x height back
// buffer; `layout` receives the back buffer's pixel layout. 0 when there is
// no screen to use or any step fails (screen_close cleans up).
int screen_open(const char *title, const char *icon_name, int32_t width, int32_t height,
                screen_pixel_layout *layout);
// The back buffer's first byte and the distance in bytes between its rows,
// remade first if the platform lost it; nullptr when it cannot be had.
uint8_t *screen_lock(int32_t *pitch);
// Unlocks the back buffer and shows it, then again at each refresh it is
// held over (display/pace.h: 60 frames a second at any refresh), and returns
// when the next frame is to be composed. 1/0.
int screen_present();
// How long from now until a frame composed now is expected on screen, in
// nanoseconds (0: as soon as it is presented).
int64_t screen_frame_ahead_ns();
// Takes the next queued event; 0 when the queue is empty.
int screen_next_event(screen_event *event);
// Sleeps until an event is queued or `milliseconds` pass; the event stays
// queued for screen_next_event.
void screen_wait_event(uint32_t milliseconds);
// awake 1: keeps the screen saver from starting while the program runs; 0:
// lets it start again. Neither changes the user's stored setting.
void screen_keep_awake(int awake);
void screen_close();

// Ends the process at once with `status`, from inside the frame loop.
[[noreturn]] void screen_exit_process(int status);
