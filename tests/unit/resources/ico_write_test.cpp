// The .ico writer's output read back field by field, as Windows reads it.
#include "resources/ico_write.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

uint32_t u32(const std::vector<uint8_t> &bytes, size_t at) {
  return uint32_t(bytes.at(at)) | uint32_t(bytes.at(at + 1)) << 8 |
         uint32_t(bytes.at(at + 2)) << 16 | uint32_t(bytes.at(at + 3)) << 24;
}

TEST(IcoWrite, EntriesPointAtBottomUpBitmapsWithAClearMask) {
  // Every pixel differs, so a flipped or shifted row shows.
  std::vector<uint32_t> large(32 * 32), small(16 * 16);
  for (size_t i = 0; i < large.size(); ++i) large[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  for (size_t i = 0; i < small.size(); ++i) small[i] = 0x80000000u | uint32_t(i * 40503u);
  const std::vector<uint8_t> file = ico_file({{32, large.data()}, {16, small.data()}});
  ASSERT_GE(file.size(), 6u + 2 * 16);
  EXPECT_EQ(u32(file, 0), 0x00010000u); // reserved 0, type 1 (icon)
  ASSERT_EQ(file[4], 2);

  size_t expected_offset = 6 + 2 * 16;
  for (const auto &[entry, size, pixels] :
       {std::tuple{0u, 32u, &large}, std::tuple{1u, 16u, &small}}) {
    SCOPED_TRACE(size);
    const size_t at = 6 + entry * 16;
    EXPECT_EQ(file[at], size);
    EXPECT_EQ(file[at + 1], size);
    EXPECT_EQ(u32(file, at + 4), 32u << 16 | 1u); // 1 plane, 32 bits per pixel
    const uint32_t bytes = u32(file, at + 8), offset = u32(file, at + 12);
    ASSERT_EQ(offset, expected_offset);
    ASSERT_EQ(bytes, 40 + size * size * 4 + (size + 31) / 32 * 4 * size);
    ASSERT_LE(size_t(offset) + bytes, file.size());
    expected_offset += bytes;

    EXPECT_EQ(u32(file, offset), 40u);
    EXPECT_EQ(u32(file, offset + 8), 2 * size); // colour and mask rows together
    const size_t colours = offset + 40;
    for (uint32_t y : {0u, 1u, size - 1})
      for (uint32_t x : {0u, 5u, size - 1})
        EXPECT_EQ(u32(file, colours + ((size - 1 - y) * size + x) * 4), (*pixels)[y * size + x])
            << x << ", " << y;
    for (size_t i = colours + size * size * 4; i < size_t(offset) + bytes; ++i)
      ASSERT_EQ(file[i], 0) << i; // alpha alone decides
  }
  EXPECT_EQ(expected_offset, file.size());
}

TEST(IcoWrite, SizesOutsideOneTo256AreRefusedAnd256IsWrittenAsZero) {
  const std::vector<uint32_t> big(256 * 256, 0xFF102030u);
  EXPECT_TRUE(ico_file({{0, big.data()}}).empty());
  EXPECT_TRUE(ico_file({{257, big.data()}}).empty());
  EXPECT_TRUE(ico_file({{16, nullptr}}).empty());
  const std::vector<uint8_t> file = ico_file({{256, big.data()}});
  ASSERT_GT(file.size(), 8u);
  EXPECT_EQ(file[6] | file[7], 0);
}

} // namespace
