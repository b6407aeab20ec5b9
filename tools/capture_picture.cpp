// Placing and converting the frame for the video file.
#include "tools/capture_picture.h"

#include "compose/compose.h"
#include "display/scale.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

static_assert(CAPTURE_MARGIN_STRIDE == FRAME_WIDTH + 1);
constexpr size_t MARGIN_CELLS = size_t(CAPTURE_MARGIN_STRIDE) * (FRAME_HEIGHT + 1);

capture_layout capture_make_layout(int32_t width, int32_t height) {
  capture_layout layout;
  layout.width = width;
  layout.height = height;
  layout.scale = std::min(width / FRAME_WIDTH, height / FRAME_HEIGHT);
  if (layout.scale < 1) return layout;
  layout.left = (width - layout.scale * FRAME_WIDTH) / 2;
  layout.top = (height - layout.scale * FRAME_HEIGHT) / 2;
  auto source = [&](int32_t position, int32_t start, int32_t size) {
    int32_t offset = position - start;
    return offset >= 0 && offset < size * layout.scale ? offset / layout.scale : size;
  };
  for (int32_t x = 0; x < width; ++x)
    layout.frame_column.push_back(source(x, layout.left, FRAME_WIDTH));
  for (int32_t y = 0; y < height; ++y)
    layout.frame_row.push_back(source(y, layout.top, FRAME_HEIGHT));
  // The margin stays black: luma 16, no colour difference.
  layout.luma.assign(MARGIN_CELLS, 16);
  layout.blue_difference.assign(MARGIN_CELLS, 0);
  layout.red_difference.assign(MARGIN_CELLS, 0);
  return layout;
}

static scale_placement placement_of(const capture_layout &layout) {
  return {layout.left, layout.top, layout.scale * FRAME_WIDTH, layout.scale * FRAME_HEIGHT};
}

// The frame's 0RGB pixels are already the picture's layout.
void capture_place_rgb(const uint32_t *frame, const capture_layout &layout, uint32_t *picture) {
  const scale_placement placement = placement_of(layout);
  uint8_t *bytes = reinterpret_cast<uint8_t *>(picture);
  scale_fill_bars(placement, 4, layout.width, layout.height, bytes, layout.width * 4);
  scale_picture(reinterpret_cast<const uint8_t *>(frame), FRAME_WIDTH, FRAME_HEIGHT,
                FRAME_WIDTH * 4, 4, placement, bytes, layout.width * 4);
}

// BT.601 limited range in 8-bit fixed point, as swscale computes it. The
// outputs are distinct buffers: saying so lets the compiler vectorise.
static void convert_frame(const uint32_t *__restrict frame, uint8_t *__restrict luma,
                          int16_t *__restrict blue_difference, int16_t *__restrict red_difference) {
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
      const uint32_t pixel = frame[y * FRAME_WIDTH + x];
      const int32_t r = int32_t(pixel >> 16 & 0xFF), g = int32_t(pixel >> 8 & 0xFF),
                    b = int32_t(pixel & 0xFF);
      const int32_t cell = y * CAPTURE_MARGIN_STRIDE + x;
      luma[cell] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
      blue_difference[cell] = int16_t(-38 * r - 74 * g + 112 * b);
      red_difference[cell] = int16_t(112 * r - 94 * g - 18 * b);
    }
}

static uint8_t chroma_of(int32_t sum) { return uint8_t(((sum + 512) >> 10) + 128); }

// A chroma row of the frame at its own size, starting at an even column:
// every 2 x 2 block lies in two neighbouring frame rows and columns, so the
// sums need no look-ups and vectorise. The bars beside it are neutral (128).
static void chroma_row_unscaled(const int16_t *__restrict blue_difference,
                                const int16_t *__restrict red_difference, int32_t frame_row,
                                int32_t left, int32_t width, uint8_t *__restrict blue,
                                uint8_t *__restrict red) {
  const int16_t *blue_upper = blue_difference + frame_row * CAPTURE_MARGIN_STRIDE;
  const int16_t *red_upper = red_difference + frame_row * CAPTURE_MARGIN_STRIDE;
  const int16_t *blue_lower = blue_upper + CAPTURE_MARGIN_STRIDE;
  const int16_t *red_lower = red_upper + CAPTURE_MARGIN_STRIDE;
  std::memset(blue, 128, size_t(width / 2));
  std::memset(red, 128, size_t(width / 2));
  blue += left / 2;
  red += left / 2;
  for (int32_t x = 0; x < FRAME_WIDTH / 2; ++x) {
    blue[x] = chroma_of(blue_upper[2 * x] + blue_upper[2 * x + 1] + blue_lower[2 * x] +
                        blue_lower[2 * x + 1]);
    red[x] = chroma_of(red_upper[2 * x] + red_upper[2 * x + 1] + red_lower[2 * x] +
                       red_lower[2 * x + 1]);
  }
}

void capture_place_yuv420(const uint32_t *frame, capture_layout *layout, uint8_t *const planes[3],
                          const int strides[3]) {
  convert_frame(frame, layout->luma.data(), layout->blue_difference.data(),
                layout->red_difference.data());
  // Luma: black bars (16), then the frame scaled in.
  const int32_t *columns = layout->frame_column.data(), *rows = layout->frame_row.data();
  const int32_t width = layout->width, height = layout->height;
  const scale_placement placement = placement_of(*layout);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t *row = planes[0] + std::ptrdiff_t(y) * strides[0];
    if (rows[y] == FRAME_HEIGHT) {
      std::memset(row, 16, size_t(width));
      continue;
    }
    std::memset(row, 16, size_t(placement.left));
    const int32_t right = placement.left + placement.width;
    std::memset(row + right, 16, size_t(width - right));
  }
  scale_picture(layout->luma.data(), FRAME_WIDTH, FRAME_HEIGHT, CAPTURE_MARGIN_STRIDE, 1,
                placement, planes[0], strides[0]);
  // Each chroma sample is the mean of its 2 x 2 pixels.
  const int16_t *blue_difference = layout->blue_difference.data();
  const int16_t *red_difference = layout->red_difference.data();
  for (int32_t y = 0; y < height / 2; ++y) {
    uint8_t *blue = planes[1] + std::ptrdiff_t(y) * strides[1];
    uint8_t *red = planes[2] + std::ptrdiff_t(y) * strides[2];
    if (layout->scale == 1 && layout->left % 2 == 0 && rows[2 * y] < FRAME_HEIGHT &&
        rows[2 * y + 1] == rows[2 * y] + 1) {
      chroma_row_unscaled(blue_difference, red_difference, rows[2 * y], layout->left, width, blue,
                          red);
      continue;
    }
    const size_t upper = size_t(rows[2 * y] * CAPTURE_MARGIN_STRIDE);
    const size_t lower = size_t(rows[2 * y + 1] * CAPTURE_MARGIN_STRIDE);
    for (int32_t x = 0; x < width / 2; ++x) {
      const size_t left = size_t(columns[2 * x]), right = size_t(columns[2 * x + 1]);
      const int32_t blue_sum = blue_difference[upper + left] + blue_difference[upper + right] +
                               blue_difference[lower + left] + blue_difference[lower + right];
      const int32_t red_sum = red_difference[upper + left] + red_difference[upper + right] +
                              red_difference[lower + left] + red_difference[lower + right];
      blue[x] = chroma_of(blue_sum);
      red[x] = chroma_of(red_sum);
    }
  }
}
