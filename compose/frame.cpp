// The frame buffer and the gray picture draws.
#include "compose/compose.h"

#include <cstring>

uint32_t frame_buffer[FRAME_PIXELS];

void clear_frame(uint32_t *frame) { std::memset(frame, 0, sizeof(uint32_t) * FRAME_PIXELS); }

// Clips the picture's rectangle against the frame. Returns 0 when nothing of
// it is visible; otherwise the first and one-past-last source column and row.
static int clip_picture(int32_t x, int32_t y, int32_t width, int32_t height, int32_t *first_column,
                        int32_t *end_column, int32_t *first_row, int32_t *end_row) {
  if (width < 1 || height < 1) return 0;
  // 64-bit so that extreme positions cannot overflow.
  int64_t column_begin = x < 0 ? -int64_t(x) : 0;
  int64_t column_end = int64_t(FRAME_WIDTH) - x < width ? int64_t(FRAME_WIDTH) - x : width;
  int64_t row_begin = y < 0 ? -int64_t(y) : 0;
  int64_t row_end = int64_t(FRAME_HEIGHT) - y < height ? int64_t(FRAME_HEIGHT) - y : height;
  if (column_begin >= column_end || row_begin >= row_end) return 0;
  *first_column = int32_t(column_begin);
  *end_column = int32_t(column_end);
  *first_row = int32_t(row_begin);
  *end_row = int32_t(row_end);
  return 1;
}

void draw_gray_opaque(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t *frame) {
  int32_t c0, c1, r0, r1;
  if (!clip_picture(x, y, width, height, &c0, &c1, &r0, &r1)) return;
  for (int32_t r = r0; r < r1; ++r) {
    const uint8_t *source = picture + int64_t(r) * width;
    uint32_t *destination = frame + int64_t(y + r) * FRAME_WIDTH + x;
    for (int32_t i = c0; i < c1; ++i) destination[i] = source[i] * 0x010101u;
  }
}

void draw_gray_keyed(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t *frame) {
  int32_t c0, c1, r0, r1;
  if (!clip_picture(x, y, width, height, &c0, &c1, &r0, &r1)) return;
  for (int32_t r = r0; r < r1; ++r) {
    const uint8_t *source = picture + int64_t(r) * width;
    uint32_t *destination = frame + int64_t(y + r) * FRAME_WIDTH + x;
    for (int32_t i = c0; i < c1; ++i)
      if (source[i] != 0) destination[i] = source[i] * 0x010101u;
  }
}
