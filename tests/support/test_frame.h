// A frame with every channel varying independently, so a swapped channel,
// a wrong shift or a misplaced row shows in any comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t TEST_FRAME_WIDTH = 640;
constexpr int32_t TEST_FRAME_HEIGHT = 480;

inline uint32_t test_frame_pixel(int32_t x, int32_t y) {
  uint32_t red = uint32_t(x * 3 + y) & 0xFF;
  uint32_t green = uint32_t(y * 5 + (x >> 4)) & 0xFF;
  uint32_t blue = uint32_t(x ^ (y * 7)) & 0xFF;
  return red << 16 | green << 8 | blue;
}

inline std::vector<uint32_t> test_frame() {
  std::vector<uint32_t> frame(std::size_t(TEST_FRAME_WIDTH) * TEST_FRAME_HEIGHT);
  for (int32_t y = 0; y < TEST_FRAME_HEIGHT; ++y)
    for (int32_t x = 0; x < TEST_FRAME_WIDTH; ++x)
      frame[std::size_t(y) * TEST_FRAME_WIDTH + std::size_t(x)] = test_frame_pixel(x, y);
  return frame;
}
