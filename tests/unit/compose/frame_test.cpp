#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

TEST(Frame, ClearAndGrayLevels) {
  Frame frame(FRAME_PIXELS, 0xDEADBEEFu);
  clear_frame(frame.data());
  EXPECT_EQ(count_differences(Frame(FRAME_PIXELS, 0u), frame.data()), 0);

  const uint8_t white = 255, gray = 0x5A;
  draw_gray_opaque(&white, 3, 4, 1, 1, frame.data());
  draw_gray_keyed(&gray, 5, 6, 1, 1, frame.data());
  EXPECT_EQ(frame[4 * FRAME_WIDTH + 3], 0x00FFFFFFu);
  EXPECT_EQ(frame[6 * FRAME_WIDTH + 5], 0x005A5A5Au);
}

TEST(Frame, ZeroPictureKeyedLeavesFrameOpaqueMakesItBlack) {
  std::mt19937 random(1);
  const Frame before = random_frame(random);
  const std::vector<uint8_t> zeros(PICTURE_BYTES, 0);
  Frame frame = before;
  draw_gray_keyed(zeros.data(), 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame.data());
  EXPECT_EQ(count_differences(before, frame.data()), 0);

  draw_gray_opaque(zeros.data(), 100, 50, 200, 100, frame.data());
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
      size_t p = size_t(y * FRAME_WIDTH + x);
      bool covered = x >= 100 && x < 300 && y >= 50 && y < 150;
      ASSERT_EQ(frame[p], covered ? 0u : before[p]) << x << "," << y;
    }
}

// The logo, 163 x 361 at (120, 120), reaches row 480: its last row is cut.
TEST(Frame, LogoIsClippedAtTheBottomRow) {
  std::vector<uint8_t> logo(PICTURE_BYTES);
  for (int32_t r = 0; r < 361; ++r)
    for (int32_t i = 0; i < 163; ++i) logo[size_t(r * 163 + i)] = uint8_t(1 + (r * 7 + i) % 255);
  Frame frame(FRAME_PIXELS, 0x01000000u); // a value no draw produces
  draw_gray_keyed(logo.data(), 120, 120, 163, 361, frame.data());
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
      uint32_t pixel = frame[size_t(y * FRAME_WIDTH + x)];
      if (x >= 120 && x <= 282 && y >= 120)
        ASSERT_EQ(pixel, logo[size_t((y - 120) * 163 + x - 120)] * 0x010101u) << x << "," << y;
      else
        ASSERT_EQ(pixel, 0x01000000u) << x << "," << y;
    }
}

// Both draws against the per-pixel reference at random, partly or wholly
// off-frame positions and sizes (odd widths exercise the vector loop's tail);
// each picture is exactly width * height bytes so that an over-read shows
// under the address sanitizer.
TEST(Frame, DrawsMatchReferenceAtRandomPositions) {
  std::mt19937 random(2);
  for (int trial = 0; trial < 120; ++trial) {
    int32_t width = int32_t(random() % 700) - 5, height = int32_t(random() % 520) - 5;
    int32_t x = int32_t(random() % 900) - 400, y = int32_t(random() % 700) - 300;
    if (trial == 0) x = y = INT32_MIN;
    if (trial == 1) x = y = INT32_MAX;
    std::vector<uint8_t> picture =
        random_picture(random, size_t(std::max(width, 0)) * size_t(std::max(height, 0)));
    bool keyed = trial % 2 == 0;
    Frame expected = random_frame(random), actual = expected;
    reference_draw(picture.data(), x, y, width, height, expected.data(), keyed);
    if (keyed) draw_gray_keyed(picture.data(), x, y, width, height, actual.data());
    else draw_gray_opaque(picture.data(), x, y, width, height, actual.data());
    ASSERT_EQ(count_differences(expected, actual.data()), 0)
        << (keyed ? "keyed " : "opaque ") << width << "x" << height << " at " << x << "," << y;
  }
}
