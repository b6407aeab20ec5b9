// Nearest-pixel scaling of a picture in the screen's layout onto a screen.
#include "display/scale.h"

#include <cstddef>
#include <cstring>

scale_placement scale_fit(int32_t picture_width, int32_t picture_height, int32_t screen_width,
                          int32_t screen_height) {
  if (picture_width <= 0 || picture_height <= 0 || screen_width <= 0 || screen_height <= 0)
    return {0, 0, 0, 0};
  int64_t width = screen_width, height = screen_height;
  // Compared across, so no rounding decides which side limits the picture.
  if (int64_t(screen_width) * picture_height <= int64_t(screen_height) * picture_width)
    height = int64_t(picture_height) * screen_width / picture_width;
  else
    width = int64_t(picture_width) * screen_height / picture_height;
  return {int32_t((screen_width - width) / 2), int32_t((screen_height - height) / 2),
          int32_t(width), int32_t(height)};
}

void scale_source_positions(int32_t picture_size, int32_t count, int32_t *positions) {
  // Output pixel i covers [i, i + 1) of `count`; its centre, i + 1/2, lies
  // over picture position (2i + 1) * picture_size / (2 * count).
  for (int32_t i = 0; i < count; ++i)
    positions[i] =
        int32_t((int64_t(2 * i + 1) * picture_size) / (int64_t(2) * count));
}

template <typename pixel>
static void scale_row_of(const uint8_t *source, uint8_t *destination, const int32_t *columns,
                         int32_t count) {
  // Through memcpy: rows need not be aligned to the pixel size.
  for (int32_t x = 0; x < count; ++x) {
    pixel value;
    std::memcpy(&value, source + size_t(columns[x]) * sizeof(pixel), sizeof(pixel));
    std::memcpy(destination + size_t(x) * sizeof(pixel), &value, sizeof(pixel));
  }
}

static void scale_row_24(const uint8_t *source, uint8_t *destination, const int32_t *columns,
                         int32_t count) {
  for (int32_t x = 0; x < count; ++x) {
    const uint8_t *from = source + size_t(columns[x]) * 3;
    uint8_t *to = destination + size_t(x) * 3;
    uint16_t low;
    std::memcpy(&low, from, 2);
    std::memcpy(to, &low, 2);
    to[2] = from[2];
  }
}

void scale_row(const uint8_t *source, uint8_t *destination, const int32_t *columns, int32_t count,
               uint32_t bytes_per_pixel) {
  switch (bytes_per_pixel) {
  case 4:
    scale_row_of<uint32_t>(source, destination, columns, count);
    return;
  case 3:
    scale_row_24(source, destination, columns, count);
    return;
  case 2:
    scale_row_of<uint16_t>(source, destination, columns, count);
    return;
  default:
    return;
  }
}

void scale_picture(const uint8_t *picture, int32_t picture_pitch, const int32_t *columns,
                   const int32_t *rows, const scale_placement &placement, uint32_t bytes_per_pixel,
                   uint8_t *screen, int32_t screen_pitch) {
  const size_t row_bytes = size_t(placement.width) * bytes_per_pixel;
  uint8_t *first = screen + std::ptrdiff_t(placement.top) * screen_pitch +
                   std::ptrdiff_t(placement.left) * bytes_per_pixel;
  for (int32_t y = 0; y < placement.height; ++y) {
    uint8_t *row = first + std::ptrdiff_t(y) * screen_pitch;
    if (y > 0 && rows[y] == rows[y - 1])
      std::memcpy(row, row - screen_pitch, row_bytes);
    else
      scale_row(picture + std::ptrdiff_t(rows[y]) * picture_pitch, row, columns, placement.width,
                bytes_per_pixel);
  }
}

void scale_fill_bars(const scale_placement &placement, uint32_t bytes_per_pixel,
                     int32_t screen_width, int32_t screen_height, uint8_t *screen,
                     int32_t screen_pitch) {
  const size_t pixel_bytes = bytes_per_pixel;
  for (int32_t y = 0; y < screen_height; ++y) {
    uint8_t *row = screen + std::ptrdiff_t(y) * screen_pitch;
    if (y < placement.top || y >= placement.top + placement.height) {
      std::memset(row, 0, size_t(screen_width) * pixel_bytes);
      continue;
    }
    std::memset(row, 0, size_t(placement.left) * pixel_bytes);
    const int32_t right = placement.left + placement.width;
    std::memset(row + size_t(right) * pixel_bytes, 0, size_t(screen_width - right) * pixel_bytes);
  }
}
