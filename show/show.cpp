// The show's pictures, loaded from files at start-up, and the composition of
// one frame of the loop (the loop itself is demo.cpp's).
#include "show/show.h"

#include "compose/compose.h"
#include "files/data_files.h"
#include <cmath>
#include <cstdlib>
#include <cstring>

uint8_t *show_pictures[PICTURE_COUNT];

void load_raw_file(uint8_t *buffer, const char *path, int32_t length) {
  if (length <= 0) return;
  int64_t got = 0;
  data_file_read_into(path, buffer, length, &got);
  // A missing, short, refused or unreadable file leaves black (and, drawn
  // keyed, transparent) pixels rather than whatever the allocation held.
  std::memset(buffer + got, 0, size_t(length - got));
}

int show_load_pictures() {
  for (int32_t i = 0; i < PICTURE_COUNT; ++i) {
    if (show_pictures[i] == nullptr) {
      show_pictures[i] = static_cast<uint8_t *>(std::malloc(PICTURE_BYTES));
      if (show_pictures[i] == nullptr) return 0;
    }
    load_raw_file(show_pictures[i], DATA_FILES[i].name, PICTURE_BYTES);
  }
  return 1;
}

// Gentle viewing's state, all on the frame loop: the logo or credits held and
// until when, and the time of the frame before.
static int gentle;
static int32_t gentle_held_code = -1;
static int32_t gentle_held_until_ms;
static int32_t gentle_last_ms;

void show_set_gentle(int on) { gentle = on; }

const uint32_t *show_frame_shown() { return gentle ? gentle_frame : frame_buffer; }

// The code a gentle frame draws: a logo or credits flash starts a hold, and
// while it lasts the held picture is drawn instead of the scene's.
static int32_t gentle_code(int32_t code, int32_t time_ms) {
  if (code == PICTURE_CODE_LOGO || code == PICTURE_CODE_CREDITS) {
    gentle_held_code = code;
    gentle_held_until_ms = time_ms + GENTLE_HOLD_MS;
  } else if (gentle_held_code >= 0 && time_ms < gentle_held_until_ms) {
    return gentle_held_code;
  }
  return code;
}

void show_compose_frame(int32_t time_ms) {
  int32_t code = picture_code.load(std::memory_order_relaxed);
  if (gentle) code = gentle_code(code, time_ms);
  // A scene picture covers the frame and is drawn keyed: its draw joins the
  // noise and tint in one pass over the frame. Either way the frame ends the
  // same as draw, noise, tint one after the other.
  const uint8_t *scene = show_scene_picture(code);
  if (scene == nullptr) show_draw_picture(code, frame_buffer);
  picture_code.store(scene_table[scene_index.load(std::memory_order_relaxed)],
                     std::memory_order_relaxed);
  fill_noise_field(noise_field, &noise_state);
  tint_phase = gentle ? float(std::sin(6.283185307179586 * double(time_ms) / GENTLE_TINT_PERIOD_MS))
                     : float(std::sin(double(time_ms)));
  if (scene != nullptr)
    draw_keyed_noise_tint(scene, noise_field, frame_buffer, tint_phase);
  else
    add_noise_and_tint(noise_field, frame_buffer, tint_phase);
  if (gentle) {
    gentle_follow(frame_buffer, time_ms - gentle_last_ms, gentle_light, gentle_frame);
    gentle_last_ms = time_ms;
  }
}
