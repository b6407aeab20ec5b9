// Placing and converting the frame for the video file.
#include "tools/capture_picture.h"

#include "compose/compose.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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
    return offset >= 0 && offset < size * layout.scale ? offset / layout.scale : -1;
  };
  for (int32_t x = 0; x < width; ++x)
    layout.frame_column.push_back(source(x, layout.left, FRAME_WIDTH));
  for (int32_t y = 0; y < height; ++y)
    layout.frame_row.push_back(source(y, layout.top, FRAME_HEIGHT));
  return layout;
}

void capture_place_rgb(const uint32_t *frame, const capture_layout &layout, uint32_t *picture) {
  for (int32_t y = 0; y < layout.height; ++y) {
    uint32_t *row = picture + size_t(y) * size_t(layout.width);
    const int32_t frame_row = layout.frame_row[size_t(y)];
    if (y > 0 && frame_row == layout.frame_row[size_t(y) - 1]) {
      std::memcpy(row, row - layout.width, size_t(layout.width) * 4);
      continue;
    }
    for (int32_t x = 0; x < layout.width; ++x) {
      const int32_t column = layout.frame_column[size_t(x)];
      row[x] = frame_row < 0 || column < 0 ? 0 : frame[frame_row * FRAME_WIDTH + column];
    }
  }
}

// BT.601 limited range in 8-bit fixed point, as most players assume for
// standard-definition H.264 and as swscale computes it.
static void convert_frame(const uint32_t *frame, capture_layout *layout) {
  layout->luma.resize(FRAME_PIXELS);
  layout->blue_difference.resize(FRAME_PIXELS);
  layout->red_difference.resize(FRAME_PIXELS);
  for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
    const int32_t r = int32_t(frame[i] >> 16 & 0xFF), g = int32_t(frame[i] >> 8 & 0xFF),
                  b = int32_t(frame[i] & 0xFF);
    layout->luma[size_t(i)] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
    layout->blue_difference[size_t(i)] = int16_t(-38 * r - 74 * g + 112 * b);
    layout->red_difference[size_t(i)] = int16_t(112 * r - 94 * g - 18 * b);
  }
}

void capture_place_yuv420(const uint32_t *frame, capture_layout *layout, uint8_t *const planes[3],
                          const int strides[3]) {
  convert_frame(frame, layout);
  const std::vector<int32_t> &columns = layout->frame_column, &rows = layout->frame_row;
  for (int32_t y = 0; y < layout->height; ++y) {
    uint8_t *row = planes[0] + std::ptrdiff_t(y) * strides[0];
    if (y > 0 && rows[size_t(y)] == rows[size_t(y) - 1]) {
      std::memcpy(row, row - strides[0], size_t(layout->width));
      continue;
    }
    if (rows[size_t(y)] < 0) {
      std::memset(row, 16, size_t(layout->width));
      continue;
    }
    const uint8_t *source = layout->luma.data() + rows[size_t(y)] * FRAME_WIDTH;
    for (int32_t x = 0; x < layout->width; ++x)
      row[x] = columns[size_t(x)] < 0 ? 16 : source[columns[size_t(x)]];
  }
  // Each chroma sample is the mean of its 2 x 2 pixels; black bars add 0.
  for (int32_t y = 0; y < layout->height / 2; ++y) {
    uint8_t *blue = planes[1] + std::ptrdiff_t(y) * strides[1];
    uint8_t *red = planes[2] + std::ptrdiff_t(y) * strides[2];
    const int32_t row_pair[2] = {rows[size_t(2 * y)], rows[size_t(2 * y + 1)]};
    for (int32_t x = 0; x < layout->width / 2; ++x) {
      int32_t blue_sum = 0, red_sum = 0;
      for (int32_t row : row_pair)
        for (int32_t column : {columns[size_t(2 * x)], columns[size_t(2 * x + 1)]})
          if (row >= 0 && column >= 0) {
            blue_sum += layout->blue_difference[size_t(row * FRAME_WIDTH + column)];
            red_sum += layout->red_difference[size_t(row * FRAME_WIDTH + column)];
          }
      blue[x] = uint8_t(((blue_sum + 512) >> 10) + 128);
      red[x] = uint8_t(((red_sum + 512) >> 10) + 128);
    }
  }
}
