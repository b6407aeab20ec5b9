// The fullscreen display: open, update, close and the window's events, over
// the screen layer (screen.h).
#include "display/convert.h"
#include "display/display.h"
#include "display/screen.h"

static int32_t display_width;
static int32_t display_height;
static int32_t display_screen_open;
// Set by display_handle_event (and cleared by display_close), on the frame
// loop's thread.
static int32_t display_active;
static row_converter_fn row_converter;
static void (*display_ending)();

static const char *const DISPLAY_ICON = "IDI_MAIN";

// Depths the converters write; any other is refused.
static int display_depth_supported(uint32_t bits) { return bits == 32 || bits == 24 || bits == 16; }

// Ends the program from the middle of the frame loop: the screen is given
// back, then whatever the ending stops.
[[noreturn]] static void display_end_program() {
  display_close();
  if (display_ending != nullptr) display_ending();
  screen_exit_process(0);
}

// The window's events. Escape and a close request end the program here.
static void display_handle_event(const screen_event *event) {
  switch (event->kind) {
  case SCREEN_EVENT_FOCUS:
    display_active = event->value != 0;
    return;
  case SCREEN_EVENT_KEY_DOWN:
    if (event->value == SCREEN_KEY_ESCAPE) display_end_program();
    return; // any other key is consumed and does nothing
  case SCREEN_EVENT_QUIT:
    display_end_program();
  default:
    return;
  }
}

int display_open(const char *title, int32_t width, int32_t height) {
  display_width = width;
  display_height = height;

  screen_pixel_layout layout{};
  display_screen_open = 1; // whatever a failed open left is for display_close
  if (!screen_open(title, DISPLAY_ICON, width, height, &layout)) return 0;
  if (!(layout.flags & SCREEN_LAYOUT_RGB) || !display_depth_supported(layout.bits)) return 0;
  row_converter =
      select_converter(layout.bits, layout.red_mask, layout.green_mask, layout.blue_mask);
  if (row_converter == nullptr) return 0;

  screen_keep_awake(1);
  return 1;
}

int display_update(const uint32_t *frame) {
  screen_event event;
  while (screen_next_event(&event)) display_handle_event(&event);

  // In the background nothing is shown, so there is no reason to compose
  // hundreds of frames a second: wait for the next event (focus coming back,
  // Escape, a close request), at most DISPLAY_INACTIVE_WAIT_MS. The music
  // plays on by itself meanwhile.
  if (!display_active) {
    screen_wait_event(DISPLAY_INACTIVE_WAIT_MS);
    return 1;
  }

  int32_t pitch = 0;
  uint8_t *surface = screen_lock(&pitch);
  if (surface == nullptr) {
    // The back buffer is gone and could not be made again (a lost device,
    // say): waiting as in the background keeps the loop from spinning
    // until it comes back or the program is ended.
    screen_wait_event(DISPLAY_INACTIVE_WAIT_MS);
    return 0;
  }
  for (int32_t y = 0; y < display_height; ++y)
    row_converter(frame + intptr_t(y) * display_width, surface + intptr_t(y) * pitch,
                  uint32_t(display_width));
  screen_present();
  return 1;
}

void display_close() {
  display_active = 0; // nothing left to show into
  if (!display_screen_open) return;
  screen_keep_awake(0);
  screen_close();
  display_screen_open = 0;
}

int64_t display_frame_ahead_ns() { return display_screen_open ? screen_frame_ahead_ns() : 0; }

void display_set_ending(void (*ending)()) { display_ending = ending; }
