// Straightforward per-pixel versions of the composition, written from the
// formulas, against which the fast routines are checked.
#pragma once

#include "compose/compose.h"

#include <cstdint>
#include <random>
#include <vector>

using Frame = std::vector<uint32_t>;

inline void reference_draw(const uint8_t *picture, int32_t x, int32_t y, int32_t width,
                           int32_t height, uint32_t *frame, bool keyed) {
  for (int64_t i = 0; i < width; ++i)
    for (int64_t r = 0; r < height; ++r) {
      int64_t fx = x + i, fy = y + r;
      if (fx < 0 || fx >= FRAME_WIDTH || fy < 0 || fy >= FRAME_HEIGHT) continue;
      uint8_t v = picture[i + r * width];
      if (keyed && v == 0) continue;
      frame[fy * FRAME_WIDTH + fx] = v * 0x010101u;
    }
}

// One generator step; returns the output byte.
inline uint32_t reference_noise_step(int32_t &s) {
  int32_t t = s ^ (s >> 3);
  uint32_t g = uint32_t(t >> 1) & 0xFFu;
  s = (s >> 1) | ((t & 1) << 30);
  return g;
}

inline void reference_fill(uint32_t *field, int32_t &state) {
  for (int32_t col = 0; col < NOISE_COLS; ++col)
    for (int32_t row = 0; row < NOISE_ROWS; ++row)
      field[row * NOISE_COLS + col] = reference_noise_step(state) * 0x010101u;
}

inline void reference_add(const uint32_t *field, uint32_t *frame) {
  for (int32_t row = 0; row < NOISE_ROWS; ++row)
    for (int32_t col = 0; col < NOISE_COLS; ++col) {
      int32_t q = int32_t(int8_t(uint8_t(field[row * NOISE_COLS + col]))) / 8;
      uint32_t d = (uint32_t(q) & 0xFFu) * 0x010101u;
      for (int32_t j = 0; j < 8; ++j)
        for (int32_t k = 0; k < 8; ++k) frame[(row * 8 + j) * FRAME_WIDTH + col * 8 + k] += d;
    }
}

inline uint32_t reference_tint_pixel(uint32_t pixel, float phase) {
  int32_t s = int8_t(uint8_t(pixel));
  uint32_t blue = uint32_t(s - int32_t(phase)) & 0xFFu;
  uint32_t green = uint32_t(int32_t(double(s) + double(30.0f) * double(phase))) & 0xFFu;
  uint32_t red = uint32_t(int32_t(double(s) + double(50.0f) * double(phase))) & 0xFFu;
  return red << 16 | green << 8 | blue;
}

inline void reference_tint(uint32_t *frame, float phase) {
  for (int32_t p = 0; p < FRAME_PIXELS; ++p) frame[p] = reference_tint_pixel(frame[p], phase);
}

inline Frame random_frame(std::mt19937 &random) {
  Frame frame(FRAME_PIXELS);
  for (uint32_t &pixel : frame) pixel = uint32_t(random());
  return frame;
}

// A picture of runs of zeros and gray levels, like the show's pictures.
inline std::vector<uint8_t> random_picture(std::mt19937 &random, size_t size) {
  std::vector<uint8_t> picture(size);
  size_t i = 0;
  while (i < size) {
    size_t run = 1 + random() % 40;
    bool empty = random() % 5 < 2;
    for (; run > 0 && i < size; --run, ++i) picture[i] = empty ? 0 : uint8_t(1 + random() % 255);
  }
  return picture;
}

// Number of pixels that differ; 0 when the frames are equal.
inline int64_t count_differences(const Frame &a, const uint32_t *b) {
  int64_t differences = 0;
  for (size_t p = 0; p < a.size(); ++p) differences += a[p] != b[p];
  return differences;
}
