// Writes .ico files: a directory of entries, then each image as a
// BITMAPINFOHEADER, its colour rows from the bottom up, and its AND mask.
#include "resources/ico_write.h"

#include <cstddef>

namespace {

constexpr uint32_t DIRECTORY_BYTES = 6;
constexpr uint32_t ENTRY_BYTES = 16;
constexpr uint32_t BITMAP_HEADER_BYTES = 40;

void put16(std::vector<uint8_t> &out, uint32_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}
void put32(std::vector<uint8_t> &out, uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// One bit per pixel, rows padded to 32 bits.
uint32_t mask_row_bytes(int32_t size) { return uint32_t((size + 31) / 32 * 4); }

uint32_t image_bytes(int32_t size) {
  const uint32_t pixels = uint32_t(size) * uint32_t(size);
  return BITMAP_HEADER_BYTES + pixels * 4 + mask_row_bytes(size) * uint32_t(size);
}

} // namespace

std::vector<uint8_t> ico_file(const std::vector<ico_image> &images) {
  for (const ico_image &image : images)
    if (image.size < 1 || image.size > 256 || image.pixels == nullptr) return {};
  std::vector<uint8_t> out;
  put16(out, 0); // reserved
  put16(out, 1); // an icon, not a cursor
  put16(out, uint32_t(images.size()));
  uint32_t offset = DIRECTORY_BYTES + ENTRY_BYTES * uint32_t(images.size());
  for (const ico_image &image : images) {
    const uint8_t side = uint8_t(image.size == 256 ? 0 : image.size); // 0 means 256
    out.push_back(side);
    out.push_back(side);
    out.push_back(0); // no palette
    out.push_back(0); // reserved
    put16(out, 1);    // planes
    put16(out, 32);   // bits per pixel
    put32(out, image_bytes(image.size));
    put32(out, offset);
    offset += image_bytes(image.size);
  }
  for (const ico_image &image : images) {
    const uint32_t size = uint32_t(image.size);
    put32(out, BITMAP_HEADER_BYTES);
    put32(out, size);
    put32(out, size * 2); // the colour rows and the mask rows together
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // uncompressed
    put32(out, image_bytes(image.size) - BITMAP_HEADER_BYTES);
    for (int field = 0; field < 4; ++field) put32(out, 0); // resolution, palette
    for (uint32_t row = size; row-- > 0;)
      for (uint32_t x = 0; x < size; ++x) put32(out, image.pixels[row * size + x]); // B G R A
    out.insert(out.end(), size_t(mask_row_bytes(image.size)) * size,
               0); // alpha decides
  }
  return out;
}
