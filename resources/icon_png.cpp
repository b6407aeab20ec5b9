// quarvelin-icon-png: writes the program's drawn icon as a PNG file, for the
// desktop's icon theme.
//
//   quarvelin-icon-png SIZE OUTPUT.png    SIZE is 16 or 32
//
// The encoder is the smallest PNG that every reader accepts: 8-bit RGBA,
// filter 0 on every row, and a zlib stream of stored (uncompressed) blocks.
#include "resources/icon.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::array<uint32_t, 256> crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

void put_u32(std::vector<uint8_t> &out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(uint8_t(value >> shift));
}

void put_chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
  static const std::array<uint32_t, 256> table = crc_table();
  put_u32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = start; i < out.size(); ++i)
    crc = table[(crc ^ out[i]) & 0xFF] ^ (crc >> 8);
  put_u32(out, crc ^ 0xFFFFFFFFu);
}

std::vector<uint8_t> zlib_stored(const std::vector<uint8_t> &data) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t offset = 0;
  do {
    const size_t length = std::min<size_t>(data.size() - offset, 65535);
    const bool last = offset + length == data.size();
    out.push_back(last ? 1 : 0);
    out.push_back(uint8_t(length));
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(~length));
    out.push_back(uint8_t(~length >> 8));
    out.insert(out.end(), data.begin() + long(offset), data.begin() + long(offset + length));
    offset += length;
  } while (offset < data.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put_u32(out, b << 16 | a);
  return out;
}

// 0xAARRGGBB pixels, row-major, as a PNG file's bytes.
std::vector<uint8_t> png_from_argb(const uint32_t *pixels, int width, int height) {
  std::vector<uint8_t> header;
  put_u32(header, uint32_t(width));
  put_u32(header, uint32_t(height));
  header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, filters, no interlace
  std::vector<uint8_t> rows;
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixels[y * width + x];
      rows.insert(rows.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    }
  }
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", zlib_stored(rows));
  put_chunk(png, "IEND", {});
  return png;
}

} // namespace

int main(int argc, char **argv) {
  const int size = argc == 3 ? std::atoi(argv[1]) : 0;
  const uint32_t *pixels = resource_icon("IDI_MAIN", size);
  if (pixels == nullptr) {
    std::fprintf(stderr, "usage: quarvelin-icon-png %d|%d OUTPUT.png\n", RESOURCE_ICON_SMALL,
                 RESOURCE_ICON_LARGE);
    return 2;
  }
  const std::vector<uint8_t> png = png_from_argb(pixels, size, size);
  FILE *file = std::fopen(argv[2], "wb");
  const bool written = file && std::fwrite(png.data(), 1, png.size(), file) == png.size();
  if (!file || std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "quarvelin-icon-png: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
