// Compares a screen dump (xwd -root) with the test frame as the display
// should show it: each frame pixel passed through the expected converter,
// drawn `scale` times larger at (left, top), and black everywhere else.
//   xwd_compare DUMP.xwd copy_32|rgb565 SCALE LEFT TOP
// Exit status 0 on a match, 1 on a difference (the first few are listed),
// 2 when the dump cannot be read or does not fit.
#include "display/convert.h"
#include "tests/support/test_frame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

static uint32_t big_endian(const uint8_t *bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

int main(int argc, char **argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: xwd_compare DUMP.xwd copy_32|rgb565 SCALE LEFT TOP\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::vector<uint8_t> dump((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  std::string converter_name = argv[2];
  int32_t scale = std::atoi(argv[3]), left = std::atoi(argv[4]), top = std::atoi(argv[5]);
  row_converter_fn converter = converter_name == "copy_32"  ? convert_copy_32
                               : converter_name == "rgb565" ? convert_16_rgb565
                                                            : nullptr;
  if (converter == nullptr || scale < 1) return 2;
  uint32_t bytes_per_pixel = converter == convert_copy_32 ? 4 : 2;

  if (dump.size() < 100) {
    std::fprintf(stderr, "xwd_compare: %s is not a screen dump\n", argv[1]);
    return 2;
  }
  uint32_t header[25];
  for (int i = 0; i < 25; ++i) header[i] = big_endian(dump.data() + i * 4);
  uint32_t header_size = header[0], format = header[2], width = header[4], height = header[5];
  uint32_t byte_order = header[7], bits_per_pixel = header[11], bytes_per_line = header[12];
  uint32_t colours = header[19];
  size_t image = size_t(header_size) + size_t(colours) * 12;
  if (header[1] != 7 || format != 2 || bits_per_pixel != bytes_per_pixel * 8 ||
      image + size_t(bytes_per_line) * height > dump.size()) {
    std::fprintf(stderr, "xwd_compare: unexpected dump: format %u, %u bits per pixel\n", format,
                 bits_per_pixel);
    return 2;
  }
  if (uint32_t(left + TEST_FRAME_WIDTH * scale) > width ||
      uint32_t(top + TEST_FRAME_HEIGHT * scale) > height) {
    std::fprintf(stderr, "xwd_compare: the picture does not fit a %ux%u screen\n", width, height);
    return 2;
  }
  auto screen_pixel = [&](uint32_t x, uint32_t y) {
    const uint8_t *p =
        dump.data() + image + size_t(y) * bytes_per_line + size_t(x) * bytes_per_pixel;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes_per_pixel; ++i) {
      uint32_t byte = byte_order == 0 ? p[i] : p[bytes_per_pixel - 1 - i]; // 0: LSB first
      value |= byte << (8 * i);
    }
    return value;
  };

  std::vector<uint32_t> frame = test_frame();
  std::vector<uint8_t> row(TEST_FRAME_WIDTH * 4);
  std::vector<uint32_t> expected_row(TEST_FRAME_WIDTH);
  int differences = 0;
  uint32_t picture_y = 0;
  for (uint32_t y = 0; y < height; ++y) {
    bool inside_rows = int32_t(y) >= top && int32_t(y) < top + TEST_FRAME_HEIGHT * scale;
    if (inside_rows) {
      picture_y = uint32_t((int32_t(y) - top) / scale);
      converter(frame.data() + size_t(picture_y) * TEST_FRAME_WIDTH, row.data(), TEST_FRAME_WIDTH);
      for (int32_t x = 0; x < TEST_FRAME_WIDTH; ++x) {
        uint32_t value = 0;
        std::memcpy(&value, row.data() + size_t(x) * bytes_per_pixel, bytes_per_pixel);
        expected_row[size_t(x)] = bytes_per_pixel == 4 ? value & 0x00FFFFFF : value;
      }
    }
    for (uint32_t x = 0; x < width; ++x) {
      bool inside =
          inside_rows && int32_t(x) >= left && int32_t(x) < left + TEST_FRAME_WIDTH * scale;
      uint32_t expected = inside ? expected_row[size_t((int32_t(x) - left) / scale)] : 0;
      uint32_t seen = screen_pixel(x, y);
      if (bytes_per_pixel == 4) seen &= 0x00FFFFFF;
      if (seen != expected && differences++ < 5)
        std::fprintf(stderr, "xwd_compare: (%u, %u) is %06X, expected %06X\n", x, y, seen,
                     expected);
    }
  }
  if (differences > 0) {
    std::fprintf(stderr, "xwd_compare: %d pixels differ\n", differences);
    return 1;
  }
  return 0;
}
