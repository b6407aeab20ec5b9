// Scene sequencing: the scene table, the cue handlers and what each picture
// code draws.
#include "compose/compose.h"
#include "show/show.h"

const int32_t scene_table[SCENE_COUNT] = {1, 2, 3, 4, 5, 6, 7};
std::atomic<int32_t> scene_index{0};
std::atomic<int32_t> picture_code{0};

// The frame loop runs the handlers before it composes; run from another
// thread they would stay safe: each value is one whole 32-bit store with no
// other data published alongside it, so relaxed ordering is enough. Only this handler writes scene_index, so
// computing the successor and storing it once never exposes SCENE_COUNT.
void on_cue_next_scene(sound_song *, int32_t) {
  int32_t next = scene_index.load(std::memory_order_relaxed) + 1;
  if (next == SCENE_COUNT) next = 0;
  scene_index.store(next, std::memory_order_relaxed);
}

void on_cue_logo(sound_song *, int32_t) {
  picture_code.store(PICTURE_CODE_LOGO, std::memory_order_relaxed);
}

void on_cue_credits(sound_song *, int32_t) {
  picture_code.store(PICTURE_CODE_CREDITS, std::memory_order_relaxed);
}

// Buffers are in load order, so the table's file index is the buffer's.
static const uint8_t *picture_for_code(int32_t code) {
  if (code < 0 || code >= PICTURE_COUNT) return nullptr;
  return show_pictures[PICTURE_FILE_FOR_CODE[code]];
}

const uint8_t *show_scene_picture(int32_t code) {
  if (code == PICTURE_CODE_LOGO || code == PICTURE_CODE_CREDITS) return nullptr;
  return picture_for_code(code);
}

void show_draw_picture(int32_t code, uint32_t *frame) {
  const uint8_t *picture = picture_for_code(code);
  if (picture == nullptr) return;
  if (code == PICTURE_CODE_LOGO)
    draw_gray_keyed(picture, LOGO_X, LOGO_Y, LOGO_WIDTH, LOGO_HEIGHT, frame);
  else if (code == PICTURE_CODE_CREDITS)
    draw_gray_opaque(picture, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame);
  else
    draw_gray_keyed(picture, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame);
}
