// screen.h - the screen layer: what the display (display.cpp) takes from the
// platform to run one exclusive fullscreen picture with a window and events.
//
// Implementations, chosen at link time:
//   screen_sdl.cpp     SDL2: a borderless fullscreen desktop window, the
//                      picture scaled with its aspect kept, a streaming
//                      texture in the desktop's native format as back buffer
//   screen_memory.cpp  in memory, set up and read back by tests
//                      (screen_memory.h)
//
// Objects are opaque handles; a null handle means "not acquired". The order
// of use is the display's: load the library, create the device, create the
// window, take the exclusive cooperative level, set a mode of some depth,
// create the flip chain, get its back buffer, read the pixel layout; then per
// frame: events, restore, lock, write rows at the pitch, unlock, flip. Release
// goes backwards: flip chain, mode, cooperative level, device, window,
// library. Every release accepts what a partial open left.
//
// Everything runs on the frame loop's thread. Events are only taken off the
// queue by screen_next_event.
#pragma once

#include <cstdint>

struct screen_library;
struct screen_device;
struct screen_window;
struct screen_surface;

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
  SCREEN_EVENT_FOCUS,     // value 1: the program has the focus; 0: lost or minimised
  SCREEN_EVENT_KEY_DOWN,  // value: key code (SCREEN_KEY_ESCAPE, or anything else)
  SCREEN_EVENT_QUIT,      // the window is asked to close, or the process to end
};
constexpr int32_t SCREEN_KEY_ESCAPE = 27;
struct screen_event {
  int32_t kind;
  int32_t value;
};

// Starts the display library; nullptr when there is no display to use.
screen_library *screen_load_library();
void screen_unload_library(screen_library *library);

// The device that owns modes and surfaces; nullptr on failure.
screen_device *screen_create_device(screen_library *library);
void screen_release_device(screen_device *device);

// The program's one window, covering the screen, with its title and its
// named icon; nullptr on failure. Destroying a null window does nothing.
screen_window *screen_create_window(const char *title, const char *icon_name);
void screen_destroy_window(screen_window *window);
void screen_hide_cursor(screen_window *window);

// exclusive 1: the device takes the whole screen for the window and the
// window takes the focus; 0: back to normal. 1/0.
int screen_set_cooperative_level(screen_device *device, screen_window *window, int exclusive);
// A width x height mode of `bits` per pixel; 0 when the screen has no such
// depth. screen_restore_mode gives the desktop back as it was.
int screen_set_mode(screen_device *device, int32_t width, int32_t height, int32_t bits);
void screen_restore_mode(screen_device *device);

// The front of a flip chain with `back_buffer_count` back buffers; nullptr
// when refused. Releasing the front releases the whole chain.
screen_surface *screen_create_flip_chain(screen_device *device, int32_t back_buffer_count);
void screen_release_flip_chain(screen_surface *primary);
// The back buffer attached to the front; nullptr on failure.
screen_surface *screen_get_back_buffer(screen_surface *primary);
int screen_get_pixel_layout(screen_surface *primary, screen_pixel_layout *layout);

// Recovers what the chain lost (for instance while in the background). 1/0.
int screen_restore(screen_surface *primary);
// Locks the whole back buffer, waiting while it is busy: its first byte and
// the distance in bytes between rows, or nullptr when it cannot be locked.
uint8_t *screen_lock(screen_surface *back, int32_t *pitch);
void screen_unlock(screen_surface *back);
// Shows the back buffer, waiting for the screen's refresh. 1/0.
int screen_flip(screen_surface *primary);

// Takes the next queued event for the window; 0 when the queue is empty.
int screen_next_event(screen_window *window, screen_event *event);

// Gives up the processor for `milliseconds` (0: the rest of the time slice).
void screen_sleep(uint32_t milliseconds);
// Sleeps until an event for the window is queued or `milliseconds` pass;
// the event stays queued for screen_next_event.
void screen_wait_event(screen_window *window, uint32_t milliseconds);
// Keeps the screen saver from starting while the program runs / lets it
// start again. Neither changes the user's stored setting.
void screen_suspend_screen_saver();
void screen_release_screen_saver();

// Ends the process at once with `status`, from inside the frame loop.
[[noreturn]] void screen_exit_process(int status);
