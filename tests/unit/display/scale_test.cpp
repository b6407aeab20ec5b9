// Scaling the converted frame onto screens of other sizes: where it lands,
// which frame pixel each screen pixel shows, and black bars.
#include "display/convert.h"
#include "display/scale.h"
#include "tests/support/test_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

TEST(Scale, FitKeepsTheAspectCentredOnTheLimitingSide) {
  struct fit_case {
    int32_t screen_width, screen_height;
    scale_placement expected;
  };
  const fit_case cases[] = {
      {640, 480, {0, 0, 640, 480}},        {1280, 1024, {0, 32, 1280, 960}},
      {1920, 1080, {240, 0, 1440, 1080}},  {3840, 2160, {480, 0, 2880, 2160}},
      {2560, 1440, {320, 0, 1920, 1440}},  {321, 1000, {0, 380, 321, 240}},
      {1001, 751, {0, 0, 1001, 750}},      {0, 480, {0, 0, 0, 0}},
  };
  for (const fit_case &c : cases) {
    const scale_placement p = scale_fit(640, 480, c.screen_width, c.screen_height);
    EXPECT_EQ(p.left, c.expected.left) << c.screen_width << "x" << c.screen_height;
    EXPECT_EQ(p.top, c.expected.top) << c.screen_width << "x" << c.screen_height;
    EXPECT_EQ(p.width, c.expected.width) << c.screen_width << "x" << c.screen_height;
    EXPECT_EQ(p.height, c.expected.height) << c.screen_width << "x" << c.screen_height;
  }
}

TEST(Scale, EveryPicturePositionIsShownAnEvenShare) {
  for (int32_t count : {480, 960, 1080, 1024, 2160, 733, 240, 100}) {
    std::vector<int32_t> positions(static_cast<size_t>(count));
    scale_source_positions(480, count, positions.data());
    std::vector<int32_t> shown(480, 0);
    for (int32_t i = 0; i < count; ++i) {
      ASSERT_GE(positions[size_t(i)], 0);
      ASSERT_LT(positions[size_t(i)], 480);
      if (i > 0) {
        EXPECT_GE(positions[size_t(i)], positions[size_t(i) - 1]) << count;
      }
      ++shown[size_t(positions[size_t(i)])];
    }
    // Enlarged, each row shows floor or ceil of the factor times; shrunk,
    // the shown ones are spread evenly, none twice.
    const int32_t least = count / 480, most = (count + 479) / 480;
    for (int32_t times : shown) {
      if (count >= 480) {
        EXPECT_GE(times, least) << count;
      }
      EXPECT_LE(times, most) << count;
    }
  }
}

struct depth_case {
  row_converter_fn converter;
  uint32_t bytes_per_pixel;
};

// The whole way on screens of several sizes and every pixel size: each
// screen pixel inside the placement is the converted pixel under its centre,
// all others are black, and nothing beyond a row's end (the pitch's slack) is
// touched.
TEST(Scale, ScreenShowsTheConvertedFrameScaledWithBlackBars) {
  const std::vector<uint32_t> frame = test_frame();
  const depth_case depths[] = {{convert_copy_32, 4}, {convert_24_rgb, 3}, {convert_16_rgb565, 2}};
  const int32_t sizes[][2] = {{1280, 1024}, {1920, 1080}, {1001, 767}, {500, 300}, {641, 480}};
  for (const depth_case &depth : depths) {
    const int32_t picture_pitch = TEST_FRAME_WIDTH * int32_t(depth.bytes_per_pixel);
    std::vector<uint8_t> picture(size_t(picture_pitch) * TEST_FRAME_HEIGHT);
    for (int32_t y = 0; y < TEST_FRAME_HEIGHT; ++y)
      depth.converter(frame.data() + size_t(y) * TEST_FRAME_WIDTH,
                      picture.data() + size_t(y) * size_t(picture_pitch), TEST_FRAME_WIDTH);
    for (const auto &size : sizes) {
      const int32_t width = size[0], height = size[1];
      const int32_t row_bytes = width * int32_t(depth.bytes_per_pixel), pitch = row_bytes + 13;
      std::vector<uint8_t> screen(size_t(pitch) * size_t(height), 0xAB);
      const scale_placement place = scale_fit(TEST_FRAME_WIDTH, TEST_FRAME_HEIGHT, width, height);
      scale_fill_bars(place, depth.bytes_per_pixel, width, height, screen.data(), pitch);
      ASSERT_EQ(scale_picture(picture.data(), TEST_FRAME_WIDTH, TEST_FRAME_HEIGHT, picture_pitch,
                              depth.bytes_per_pixel, place, screen.data(), pitch),
                1);

      int32_t wrong = 0;
      for (int32_t y = 0; y < height; ++y) {
        const uint8_t *row = screen.data() + size_t(y) * size_t(pitch);
        for (int32_t x = 0; x < width; ++x) {
          const uint8_t *seen = row + size_t(x) * depth.bytes_per_pixel;
          uint8_t expected[4] = {0, 0, 0, 0};
          if (x >= place.left && x < place.left + place.width && y >= place.top &&
              y < place.top + place.height) {
            const auto source = [](int32_t offset, int32_t shown, int32_t picture_size) {
              return size_t(std::floor((offset + 0.5) * picture_size / shown));
            };
            const size_t sx = source(x - place.left, place.width, TEST_FRAME_WIDTH);
            const size_t sy = source(y - place.top, place.height, TEST_FRAME_HEIGHT);
            std::memcpy(expected,
                        picture.data() + sy * size_t(picture_pitch) + sx * depth.bytes_per_pixel,
                        depth.bytes_per_pixel);
          }
          if (std::memcmp(seen, expected, depth.bytes_per_pixel) != 0 && wrong++ < 3)
            ADD_FAILURE() << width << "x" << height << " at " << depth.bytes_per_pixel
                          << " bytes: pixel (" << x << ", " << y << ") differs";
        }
        for (int32_t i = row_bytes; i < pitch; ++i)
          if (row[i] != 0xAB && wrong++ < 3) ADD_FAILURE() << "slack written in row " << y;
      }
      EXPECT_EQ(wrong, 0) << width << "x" << height << " at " << depth.bytes_per_pixel << " bytes";
    }
  }
}

} // namespace
