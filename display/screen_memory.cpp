// The screen layer in memory, for tests: a screen described by
// screen_memory (screen_memory.h), every call recorded, the back buffer a
// plain byte array that is copied at each flip.
#include "display/screen_memory.h"

#include <cstdlib>

screen_memory_state screen_memory;

// Handles only need to be distinct and non-null.
struct screen_library {
  int unused;
};
struct screen_device {
  int unused;
};
struct screen_window {
  int unused;
};
struct screen_surface {
  int unused;
};
static screen_library memory_library;
static screen_device memory_device;
static screen_window memory_window;
static screen_surface memory_primary;
static screen_surface memory_back;

static int32_t memory_width, memory_height;

void screen_memory_reset() {
  screen_memory = screen_memory_state{};
  screen_memory.modes = {{32, {SCREEN_LAYOUT_RGB, 32, 0x00FF0000, 0x0000FF00, 0x000000FF}}};
  screen_memory.max_back_buffers = 2;
  screen_memory.exit_status = -1;
  memory_width = memory_height = 0;
}

static int fails(uint32_t step) { return (screen_memory.failing_steps & step) != 0; }
static void record(const std::string &call) { screen_memory.calls.push_back(call); }

static const screen_memory_mode *current_mode() {
  for (const screen_memory_mode &mode : screen_memory.modes)
    if (mode.bits == screen_memory.mode_bits) return &mode;
  return nullptr;
}

screen_library *screen_load_library() {
  record("load_library");
  if (fails(SCREEN_STEP_LOAD_LIBRARY)) return nullptr;
  if (screen_memory.library_loaded) ++screen_memory.misuse;
  screen_memory.library_loaded = 1;
  return &memory_library;
}

void screen_unload_library(screen_library *library) {
  record("unload_library");
  if (library != &memory_library || !screen_memory.library_loaded) ++screen_memory.misuse;
  screen_memory.library_loaded = 0;
}

screen_device *screen_create_device(screen_library *library) {
  record("create_device");
  if (library != &memory_library || !screen_memory.library_loaded) ++screen_memory.misuse;
  if (fails(SCREEN_STEP_CREATE_DEVICE)) return nullptr;
  screen_memory.device_alive = 1;
  return &memory_device;
}

void screen_release_device(screen_device *device) {
  record("release_device");
  if (device != &memory_device || !screen_memory.device_alive) ++screen_memory.misuse;
  screen_memory.device_alive = 0;
}

screen_window *screen_create_window(const char *title, const char *icon_name) {
  record(std::string("create_window ") + title + " " + icon_name);
  if (fails(SCREEN_STEP_CREATE_WINDOW)) return nullptr;
  screen_memory.window_alive = 1;
  return &memory_window;
}

void screen_destroy_window(screen_window *window) {
  record("destroy_window");
  if (window == nullptr) return;
  if (window != &memory_window || !screen_memory.window_alive) ++screen_memory.misuse;
  screen_memory.window_alive = 0;
}

void screen_hide_cursor(screen_window *window) {
  record("hide_cursor");
  if (window != nullptr) screen_memory.cursor_hidden = 1;
}

int screen_set_cooperative_level(screen_device *device, screen_window *window, int exclusive) {
  record(std::string("cooperative_level ") + (exclusive ? "exclusive" : "normal"));
  if (device != &memory_device || !screen_memory.device_alive) ++screen_memory.misuse;
  if (exclusive && (window == nullptr || fails(SCREEN_STEP_COOPERATIVE_LEVEL))) return 0;
  screen_memory.exclusive = exclusive;
  return 1;
}

int screen_set_mode(screen_device *device, int32_t width, int32_t height, int32_t bits) {
  record("set_mode " + std::to_string(bits));
  if (device != &memory_device || !screen_memory.device_alive) ++screen_memory.misuse;
  screen_memory.depths_tried.push_back(bits);
  for (const screen_memory_mode &mode : screen_memory.modes) {
    if (mode.bits == bits) {
      screen_memory.mode_bits = bits;
      memory_width = width;
      memory_height = height;
      return 1;
    }
  }
  return 0;
}

void screen_restore_mode(screen_device *device) {
  record("restore_mode");
  if (device != &memory_device || !screen_memory.device_alive) ++screen_memory.misuse;
  screen_memory.mode_bits = 0;
}

screen_surface *screen_create_flip_chain(screen_device *device, int32_t back_buffer_count) {
  record("create_flip_chain " + std::to_string(back_buffer_count));
  if (device != &memory_device || !screen_memory.device_alive) ++screen_memory.misuse;
  screen_memory.chains_tried.push_back(back_buffer_count);
  const screen_memory_mode *mode = current_mode();
  if (mode == nullptr || back_buffer_count > screen_memory.max_back_buffers) return nullptr;
  if (screen_memory.chain_alive) ++screen_memory.misuse;
  screen_memory.chain_alive = 1;
  int32_t bytes_per_pixel = int32_t(mode->layout.bits + 7) / 8;
  screen_memory.pitch = memory_width * bytes_per_pixel + screen_memory.extra_pitch_bytes;
  // Filled with a marker so rows left unwritten show.
  screen_memory.back_buffer.assign(size_t(screen_memory.pitch) * size_t(memory_height), 0xA5);
  return &memory_primary;
}

void screen_release_flip_chain(screen_surface *primary) {
  record("release_flip_chain");
  if (primary != &memory_primary || !screen_memory.chain_alive) ++screen_memory.misuse;
  screen_memory.chain_alive = 0;
}

screen_surface *screen_get_back_buffer(screen_surface *primary) {
  record("get_back_buffer");
  if (primary != &memory_primary || !screen_memory.chain_alive) ++screen_memory.misuse;
  if (fails(SCREEN_STEP_GET_BACK_BUFFER)) return nullptr;
  return &memory_back;
}

int screen_get_pixel_layout(screen_surface *primary, screen_pixel_layout *layout) {
  record("get_pixel_layout");
  if (primary != &memory_primary || !screen_memory.chain_alive) ++screen_memory.misuse;
  const screen_memory_mode *mode = current_mode();
  if (mode == nullptr || fails(SCREEN_STEP_GET_PIXEL_LAYOUT)) return 0;
  *layout = mode->layout;
  return 1;
}

int screen_restore(screen_surface *primary) {
  record("restore");
  if (primary != &memory_primary || !screen_memory.chain_alive) ++screen_memory.misuse;
  ++screen_memory.restores;
  return 1;
}

uint8_t *screen_lock(screen_surface *back, int32_t *pitch) {
  record("lock");
  if (back != &memory_back || !screen_memory.chain_alive || screen_memory.locked)
    ++screen_memory.misuse;
  if (fails(SCREEN_STEP_LOCK)) return nullptr;
  ++screen_memory.locks;
  screen_memory.locked = 1;
  *pitch = screen_memory.pitch;
  return screen_memory.back_buffer.data();
}

void screen_unlock(screen_surface *back) {
  record("unlock");
  if (back != &memory_back || !screen_memory.locked) ++screen_memory.misuse;
  screen_memory.locked = 0;
}

int screen_flip(screen_surface *primary) {
  record("flip");
  if (primary != &memory_primary || !screen_memory.chain_alive || screen_memory.locked)
    ++screen_memory.misuse;
  if (fails(SCREEN_STEP_FLIP)) return 0;
  ++screen_memory.flips;
  screen_memory.flipped.push_back(screen_memory.back_buffer);
  if (screen_memory.flip_hook != nullptr) screen_memory.flip_hook(screen_memory.flips);
  return 1;
}

int screen_next_event(screen_window *window, screen_event *event) {
  if (window != &memory_window || screen_memory.events.empty()) return 0;
  *event = screen_memory.events.front();
  screen_memory.events.pop_front();
  record("event " + std::to_string(event->kind) + " " + std::to_string(event->value));
  return 1;
}

void screen_sleep(uint32_t milliseconds) {
  record("sleep " + std::to_string(milliseconds));
  screen_memory.sleeps.push_back(milliseconds);
}

void screen_wait_event(screen_window *, uint32_t milliseconds) {
  record("wait_event " + std::to_string(milliseconds));
  screen_memory.event_waits.push_back(milliseconds);
}

void screen_suspend_screen_saver() {
  record("suspend_screen_saver");
  screen_memory.screen_saver_suspended = 1;
}

void screen_release_screen_saver() {
  record("release_screen_saver");
  screen_memory.screen_saver_suspended = 0;
}

void screen_exit_process(int status) {
  record("exit " + std::to_string(status));
  screen_memory.exit_status = status;
  if (screen_memory.exit_jump != nullptr) std::longjmp(*screen_memory.exit_jump, 1);
  std::_Exit(status);
}
