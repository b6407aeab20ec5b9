// The fullscreen display: open, update, close and the window's events, over
// the screen layer (screen.h).
#include "display/display.h"
#include "display/screen.h"

static screen_window *display_window;
static int32_t display_width;
static int32_t display_height;
static screen_library *display_library;
static screen_device *display_device;
static screen_surface *display_primary;
static screen_surface *display_back;
// Set by display_window_proc (and cleared by display_close), on the frame
// loop's thread.
static int32_t display_active;
static row_converter_fn row_converter;

static const char *const DISPLAY_ICON = "IDI_MAIN";
static const int32_t DISPLAY_DEPTHS[] = {32, 24, 16};

// The window's events. Escape and a close request end the program here, in
// the middle of the frame loop, after giving the screen back.
static int display_window_proc(screen_window *window, const screen_event *event) {
  (void)window;
  switch (event->kind) {
  case SCREEN_EVENT_FOCUS:
    display_active = event->value != 0;
    return 0;
  case SCREEN_EVENT_KEY_DOWN:
    if (event->value == SCREEN_KEY_ESCAPE) {
      display_close();
      screen_exit_process(0);
    }
    return 0; // any other key is consumed and does nothing
  case SCREEN_EVENT_QUIT:
    display_close();
    screen_exit_process(0);
  default:
    return 0;
  }
}

int display_open(const char *title, int32_t width, int32_t height) {
  display_width = width;
  display_height = height;

  display_library = screen_load_library();
  if (display_library == nullptr) return 0;
  display_device = screen_create_device(display_library);
  if (display_device == nullptr) return 0;

  display_window = screen_create_window(title, DISPLAY_ICON);
  screen_hide_cursor(display_window);
  if (!screen_set_cooperative_level(display_device, display_window, 1)) return 0;

  int mode_set = 0;
  for (int32_t depth : DISPLAY_DEPTHS) {
    if (screen_set_mode(display_device, width, height, depth)) {
      mode_set = 1;
      break;
    }
  }
  if (!mode_set) return 0;

  display_primary = screen_create_flip_chain(display_device, 2);
  if (display_primary == nullptr) display_primary = screen_create_flip_chain(display_device, 1);
  if (display_primary == nullptr) return 0;

  display_back = screen_get_back_buffer(display_primary);
  if (display_back == nullptr) return 0;

  screen_pixel_layout layout{};
  if (!screen_get_pixel_layout(display_primary, &layout)) return 0;
  if (!(layout.flags & SCREEN_LAYOUT_RGB)) return 0;
  row_converter =
      select_converter(layout.bits, layout.red_mask, layout.green_mask, layout.blue_mask);
  if (row_converter == nullptr) return 0;

  screen_suspend_screen_saver();
  return 1;
}

int display_update(const uint32_t *frame) {
  screen_event event;
  while (screen_next_event(display_window, &event)) display_window_proc(display_window, &event);

  // In the background nothing is shown, so there is no reason to compose
  // hundreds of frames a second: wait for the next event (focus coming back,
  // Escape, a close request), at most DISPLAY_INACTIVE_WAIT_MS. The music
  // plays on by itself meanwhile.
  if (!display_active) {
    screen_wait_event(display_window, DISPLAY_INACTIVE_WAIT_MS);
    return 1;
  }

  screen_restore(display_primary);
  int32_t pitch = 0;
  uint8_t *surface = screen_lock(display_back, &pitch);
  if (surface == nullptr) return 0;
  for (int32_t y = 0; y < display_height; ++y)
    row_converter(frame + intptr_t(y) * display_width, surface + intptr_t(y) * pitch,
                  uint32_t(display_width));
  screen_unlock(display_back);
  screen_flip(display_primary);

  screen_sleep(0);
  return 1;
}

void display_close() {
  if (display_primary != nullptr) {
    screen_release_flip_chain(display_primary); // the back buffer goes with its chain
    display_primary = nullptr;
    display_back = nullptr;
  }
  if (display_device != nullptr) {
    screen_restore_mode(display_device);
    screen_set_cooperative_level(display_device, display_window, 0);
    screen_release_device(display_device);
    display_device = nullptr;
  }
  screen_destroy_window(display_window);
  display_window = nullptr;
  display_active = 0; // nothing left to show into
  if (display_library != nullptr) {
    screen_unload_library(display_library);
    display_library = nullptr;
  }
  screen_release_screen_saver();
}
