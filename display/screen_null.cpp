// The screen layer without a screen, for tests: a screen described by
// screen_null (screen_null.h), its back buffer a plain byte array that is
// copied at each present.
#include "display/screen_null.h"

#include <cstdlib>

screen_null_state screen_null;

void screen_null_reset() {
  screen_null = screen_null_state{};
  screen_null.has_screen = 1;
  screen_null.layout = {SCREEN_LAYOUT_RGB, 32, 0x00FF0000, 0x0000FF00, 0x000000FF};
  screen_null.exit_status = -1;
}

int screen_open(const char *title, const char *icon_name, int32_t width, int32_t height,
                screen_pixel_layout *layout) {
  if (screen_null.open) ++screen_null.misuse;
  screen_null.open = 1;
  if (!screen_null.has_screen) return 0;
  screen_null.title = title;
  screen_null.icon_name = icon_name;
  screen_null.width = width;
  screen_null.height = height;
  const int32_t bytes_per_pixel = int32_t(screen_null.layout.bits + 7) / 8;
  screen_null.pitch = width * bytes_per_pixel + screen_null.extra_pitch_bytes;
  // Filled with a marker so rows left unwritten show.
  screen_null.back_buffer.assign(size_t(screen_null.pitch) * size_t(height), 0xA5);
  *layout = screen_null.layout;
  return 1;
}

uint8_t *screen_lock(int32_t *pitch) {
  if (!screen_null.open || screen_null.locked) ++screen_null.misuse;
  if (screen_null.lock_fails) return nullptr;
  screen_null.locked = 1;
  *pitch = screen_null.pitch;
  return screen_null.back_buffer.data();
}

int screen_present() {
  if (!screen_null.open || !screen_null.locked) ++screen_null.misuse;
  screen_null.locked = 0;
  screen_null.presented.push_back(screen_null.back_buffer);
  if (screen_null.present_hook != nullptr)
    screen_null.present_hook(int32_t(screen_null.presented.size()));
  return 1;
}

int screen_next_event(screen_event *event) {
  if (!screen_null.open || screen_null.events.empty()) return 0;
  *event = screen_null.events.front();
  screen_null.events.pop_front();
  return 1;
}

int64_t screen_frame_ahead_ns() { return 0; }

void screen_wait_event(uint32_t milliseconds) { screen_null.event_waits.push_back(milliseconds); }

void screen_keep_awake(int awake) { screen_null.awake = awake; }

void screen_close() {
  screen_null.open = 0;
  screen_null.locked = 0;
  screen_null.awake = 0; // the screen saver belongs to the connection that is gone
}

void screen_exit_process(int status) {
  screen_null.exit_status = status;
  if (screen_null.exit_jump != nullptr) std::longjmp(*screen_null.exit_jump, 1);
  std::_Exit(status);
}
