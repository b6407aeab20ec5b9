// The show's pictures, loaded from files at start-up, and the composition of
// one frame of the loop (the loop itself is demo.cpp's).
#include "show/show.h"

#include "compose/compose.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

const char *const picture_files[PICTURE_COUNT] = {
    "quarvelin.raw", "2.raw", "3.raw", "4.raw", "5.raw", "6.raw", "7.raw", "8.raw", "credits.raw"};
uint8_t *show_pictures[PICTURE_COUNT];

// Only a regular file is read: a FIFO or a device could hold start-up up
// for ever. The check comes before opening, since opening a FIFO already
// blocks; the standard calls keep this the same on every system.
static size_t read_regular_file(uint8_t *buffer, const char *path, size_t length) {
  struct stat status;
  if (stat(path, &status) != 0 || (status.st_mode & S_IFMT) != S_IFREG) return 0;
  std::FILE *file = std::fopen(path, "rb");
  if (file == nullptr) return 0;
  const size_t got = std::fread(buffer, 1, length, file);
  std::fclose(file);
  return got;
}

void load_raw_file(uint8_t *buffer, const char *path, int32_t length) {
  if (length <= 0) return;
  const size_t got = read_regular_file(buffer, path, size_t(length));
  // A missing, short or unreadable file leaves black (and, drawn keyed,
  // transparent) pixels rather than whatever the allocation held.
  std::memset(buffer + got, 0, size_t(length) - got);
}

int show_load_pictures() {
  for (int32_t i = 0; i < PICTURE_COUNT; ++i) {
    if (show_pictures[i] == nullptr) {
      show_pictures[i] = static_cast<uint8_t *>(std::malloc(PICTURE_BYTES));
      if (show_pictures[i] == nullptr) return 0;
    }
    load_raw_file(show_pictures[i], picture_files[i], PICTURE_BYTES);
  }
  return 1;
}

void show_compose_frame(int32_t time_ms) {
  int32_t code = picture_code.load(std::memory_order_relaxed);
  // A scene picture covers the frame and is drawn keyed: its draw joins the
  // noise and tint in one pass over the frame. Either way the frame ends the
  // same as draw, noise, tint one after the other.
  const uint8_t *scene = show_scene_picture(code);
  if (scene == nullptr) show_draw_picture(code, frame_buffer);
  picture_code.store(scene_table[scene_index.load(std::memory_order_relaxed)],
                     std::memory_order_relaxed);
  fill_noise_field(noise_field, &noise_state);
  tint_phase = float(std::sin(double(time_ms)));
  if (scene != nullptr)
    draw_keyed_noise_tint(scene, noise_field, frame_buffer, tint_phase);
  else
    add_noise_and_tint(noise_field, frame_buffer, tint_phase);
}
