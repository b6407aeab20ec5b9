// The .ico writer's output read back field by field, as Windows reads it.
#include "resources/icon.h"
#include "tools/ico_write.h"

#include <gtest/gtest.h>

namespace {

uint32_t u16(const std::vector<uint8_t> &bytes, size_t at) {
  return uint32_t(bytes.at(at)) | uint32_t(bytes.at(at + 1)) << 8;
}
uint32_t u32(const std::vector<uint8_t> &bytes, size_t at) {
  return u16(bytes, at) | u16(bytes, at + 2) << 16;
}

// A picture whose every pixel differs, so a flipped or shifted row shows.
std::vector<uint32_t> numbered_picture(int32_t size) {
  std::vector<uint32_t> pixels(size_t(size * size));
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  return pixels;
}

TEST(IcoWrite, DirectoryEntriesAndBitmapsDescribeEachImage) {
  const std::vector<uint32_t> large = numbered_picture(32), small = numbered_picture(16);
  const std::vector<uint8_t> file = ico_file({{32, large.data()}, {16, small.data()}});
  ASSERT_GE(file.size(), 6u + 2 * 16);
  EXPECT_EQ(u16(file, 0), 0u);
  EXPECT_EQ(u16(file, 2), 1u); // icon
  ASSERT_EQ(u16(file, 4), 2u);

  size_t expected_offset = 6 + 2 * 16;
  for (int entry = 0; entry < 2; ++entry) {
    const size_t at = 6 + size_t(entry) * 16;
    const uint32_t size = entry == 0 ? 32 : 16;
    const std::vector<uint32_t> &pixels = entry == 0 ? large : small;
    SCOPED_TRACE(size);
    EXPECT_EQ(file[at], size);
    EXPECT_EQ(file[at + 1], size);
    EXPECT_EQ(u16(file, at + 4), 1u);  // planes
    EXPECT_EQ(u16(file, at + 6), 32u); // bits per pixel
    const uint32_t bytes = u32(file, at + 8), offset = u32(file, at + 12);
    EXPECT_EQ(offset, expected_offset);
    const uint32_t mask_bytes = (size + 31) / 32 * 4 * size;
    ASSERT_EQ(bytes, 40 + size * size * 4 + mask_bytes);
    ASSERT_LE(size_t(offset) + bytes, file.size());
    expected_offset += bytes;

    EXPECT_EQ(u32(file, offset), 40u);
    EXPECT_EQ(u32(file, offset + 4), size);
    EXPECT_EQ(u32(file, offset + 8), 2 * size); // colour and mask together
    EXPECT_EQ(u16(file, offset + 14), 32u);
    // Rows are stored from the bottom up, each pixel as B G R A.
    const size_t colours = offset + 40;
    for (uint32_t y : {0u, 1u, size - 1})
      for (uint32_t x : {0u, 5u, size - 1})
        EXPECT_EQ(u32(file, colours + ((size - 1 - y) * size + x) * 4), pixels[y * size + x])
            << x << ", " << y;
    // The mask leaves every pixel to the alpha channel.
    for (size_t i = colours + size * size * 4; i < size_t(offset) + bytes; ++i)
      ASSERT_EQ(file[i], 0) << i;
  }
  EXPECT_EQ(expected_offset, file.size());
}

TEST(IcoWrite, SizesOutsideOneTo256AreRefusedAnd256IsWrittenAsZero) {
  const std::vector<uint32_t> big = numbered_picture(256);
  EXPECT_TRUE(ico_file({{0, big.data()}}).empty());
  EXPECT_TRUE(ico_file({{257, big.data()}}).empty());
  EXPECT_TRUE(ico_file({{16, nullptr}}).empty());
  const std::vector<uint8_t> file = ico_file({{256, big.data()}});
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file[6], 0);
  EXPECT_EQ(file[7], 0);
}

TEST(IcoWrite, TheProgramIconGivesBothSizesOpaque) {
  const std::vector<uint8_t> file =
      ico_file({{RESOURCE_ICON_LARGE, resource_icon("IDI_MAIN", RESOURCE_ICON_LARGE)},
                {RESOURCE_ICON_SMALL, resource_icon("IDI_MAIN", RESOURCE_ICON_SMALL)}});
  ASSERT_EQ(u16(file, 4), 2u);
  for (int entry = 0; entry < 2; ++entry) {
    const size_t offset = u32(file, 6 + size_t(entry) * 16 + 12);
    const uint32_t size = file[6 + size_t(entry) * 16];
    for (uint32_t i = 0; i < size * size; ++i)
      ASSERT_EQ(file[offset + 40 + i * 4 + 3], 0xFF) << "pixel " << i << " of " << size;
  }
}

} // namespace
