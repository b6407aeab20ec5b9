#include "display/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Straight from the layout tables: one pixel, channel by channel.
std::vector<uint8_t> reference_pixel(row_converter_fn converter, uint32_t p) {
  const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  auto bytes = [](uint32_t value, int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i)
      out.push_back(uint8_t(value >> (8 * i)));
    return out;
  };
  if (converter == convert_copy_32)
    return bytes(p, 4);
  if (converter == convert_32_bgr)
    return bytes(b << 16 | g << 8 | r, 4);
  if (converter == convert_24_rgb)
    return {uint8_t(b), uint8_t(g), uint8_t(r)};
  if (converter == convert_24_bgr)
    return {uint8_t(r), uint8_t(g), uint8_t(b)};
  if (converter == convert_16_rgb565)
    return bytes((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3), 2);
  if (converter == convert_16_bgr565)
    return bytes((b >> 3) << 11 | (g >> 2) << 5 | (r >> 3), 2);
  if (converter == convert_16_rgb555)
    return bytes((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3), 2);
  return bytes((b >> 3) << 10 | (g >> 3) << 5 | (r >> 3), 2);
}

struct converter_case {
  const char *name;
  row_converter_fn converter;
  size_t bytes_per_pixel;
};

const converter_case CONVERTERS[] = {
    {"copy_32", convert_copy_32, 4},     {"32_bgr", convert_32_bgr, 4},
    {"24_rgb", convert_24_rgb, 3},       {"24_bgr", convert_24_bgr, 3},
    {"16_rgb565", convert_16_rgb565, 2}, {"16_bgr565", convert_16_bgr565, 2},
    {"16_rgb555", convert_16_rgb555, 2}, {"16_bgr555", convert_16_bgr555, 2},
};

constexpr size_t GUARD = 32;
constexpr uint8_t GUARD_BYTE = 0xA5;

// Converts `pixels` with the source and destination `source_offset` and
// `destination_offset` bytes past an aligned address, inside guard bytes.
// Returns the whole destination buffer, guards included.
std::vector<uint8_t> run_converter(const converter_case &c, const std::vector<uint32_t> &pixels,
                                   size_t source_offset, size_t destination_offset) {
  alignas(64) static uint8_t source[64 + 4 * 1024];
  alignas(64) static uint8_t destination[64 + 4 * 1024 + GUARD];
  const size_t row = pixels.size() * c.bytes_per_pixel;
  if (!pixels.empty())
    std::memcpy(source + source_offset, pixels.data(), pixels.size() * 4);
  std::memset(destination, GUARD_BYTE, destination_offset + row + GUARD);
  c.converter(reinterpret_cast<const uint32_t *>(source + source_offset),
              destination + destination_offset, uint32_t(pixels.size()));
  return {destination, destination + destination_offset + row + GUARD};
}

std::vector<uint8_t> expected_bytes(const converter_case &c, const std::vector<uint32_t> &pixels,
                                    size_t destination_offset) {
  std::vector<uint8_t> out(destination_offset, GUARD_BYTE);
  for (uint32_t p : pixels) {
    const std::vector<uint8_t> one = reference_pixel(c.converter, p);
    out.insert(out.end(), one.begin(), one.end());
  }
  out.insert(out.end(), GUARD, GUARD_BYTE);
  return out;
}

// Empty if the converter matches the reference, else where it first differs.
std::string compare_with_reference(const converter_case &c, const std::vector<uint32_t> &pixels,
                                   size_t source_offset, size_t destination_offset) {
  const std::vector<uint8_t> got = run_converter(c, pixels, source_offset, destination_offset);
  const std::vector<uint8_t> want = expected_bytes(c, pixels, destination_offset);
  for (size_t i = 0; i < want.size(); ++i)
    if (got[i] != want[i]) {
      const bool before = i < destination_offset;
      const bool after = i >= destination_offset + pixels.size() * c.bytes_per_pixel;
      return std::string(c.name) + " count " + std::to_string(pixels.size()) + " offsets " +
             std::to_string(source_offset) + "/" + std::to_string(destination_offset) + ": byte " +
             std::to_string(i) +
             (before  ? " (before the row)"
              : after ? " (guard after the row)"
                      : "") +
             " is " + std::to_string(got[i]) + ", expected " + std::to_string(want[i]);
    }
  return "";
}

std::vector<uint32_t> random_pixels(std::mt19937 &random, size_t count) {
  std::vector<uint32_t> pixels(count);
  for (uint32_t &p : pixels)
    p = uint32_t(random()); // top byte too: only the copy may keep it
  return pixels;
}

uint32_t read16(const std::vector<uint8_t> &bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8;
}

} // namespace

TEST(SelectConverter, EachLayoutOfTheTableSelectsItsConverter) {
  EXPECT_EQ(select_converter(32, 0x00FF0000, 0x0000FF00, 0x000000FF), convert_copy_32);
  EXPECT_EQ(select_converter(32, 0x000000FF, 0x0000FF00, 0x00FF0000), convert_32_bgr);
  EXPECT_EQ(select_converter(24, 0x00FF0000, 0x0000FF00, 0x000000FF), convert_24_rgb);
  EXPECT_EQ(select_converter(24, 0x000000FF, 0x0000FF00, 0x00FF0000), convert_24_bgr);
  EXPECT_EQ(select_converter(16, 0xF800, 0x07E0, 0x001F), convert_16_rgb565);
  EXPECT_EQ(select_converter(16, 0x001F, 0x07E0, 0xF800), convert_16_bgr565);
  EXPECT_EQ(select_converter(16, 0x7C00, 0x03E0, 0x001F), convert_16_rgb555);
  EXPECT_EQ(select_converter(16, 0x001F, 0x03E0, 0x7C00), convert_16_bgr555);
}

TEST(SelectConverter, AnyOtherLayoutSelectsNothing) {
  EXPECT_EQ(select_converter(16, 0x7C00, 0x07E0, 0x001F), nullptr); // 555 red, 565 green
  EXPECT_EQ(select_converter(15, 0x7C00, 0x03E0, 0x001F), nullptr); // 15-bit modes report 16
  EXPECT_EQ(select_converter(24, 0xF800, 0x07E0, 0x001F), nullptr);
  EXPECT_EQ(select_converter(32, 0x00FF0000, 0x0000FF00, 0x000000FE), nullptr);
  EXPECT_EQ(select_converter(32, 0xFF000000, 0x00FF0000, 0x0000FF00), nullptr);
  EXPECT_EQ(select_converter(8, 0, 0, 0), nullptr);
}

TEST(ConvertEdgeCases, WhiteKeepsEveryTopBitAndNothingMore) {
  for (uint32_t count : {1u, 3u, 13u}) {
    const std::vector<uint32_t> white(count, 0x00FFFFFF);
    for (const converter_case &c : CONVERTERS) {
      const std::vector<uint8_t> out = run_converter(c, white, 0, 0);
      for (uint32_t i = 0; i < count; ++i) {
        SCOPED_TRACE(std::string(c.name) + " count " + std::to_string(count) + " pixel " +
                     std::to_string(i));
        const size_t at = i * c.bytes_per_pixel;
        if (c.bytes_per_pixel == 2)
          EXPECT_EQ(read16(out, at),
                    c.converter == convert_16_rgb555 || c.converter == convert_16_bgr555 ? 0x7FFFu
                                                                                         : 0xFFFFu);
        else
          for (size_t b = 0; b < c.bytes_per_pixel; ++b)
            EXPECT_EQ(out[at + b], b < 3 ? 0xFF : 0x00);
      }
    }
  }
}

// R 248, G 4, B 8: each channel lands in its own field in every 16-bit
// layout, whichever path (grouped or one by one) converts the pixel.
TEST(ConvertEdgeCases, MixedPixelInEvery16BitLayout) {
  const struct {
    row_converter_fn converter;
    uint32_t expected;
  } cases[] = {{convert_16_rgb565, 0xF821},
               {convert_16_bgr565, 0x083F},
               {convert_16_rgb555, 0x7C01},
               {convert_16_bgr555, 0x041F}};
  for (uint32_t count : {1u, 3u, 13u})
    for (const auto &c : cases) {
      const converter_case layout{"16-bit", c.converter, 2};
      const std::vector<uint8_t> out =
          run_converter(layout, std::vector<uint32_t>(count, 0x00F80408), 0, 0);
      for (uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(read16(out, i * 2), c.expected) << "count " << count << " pixel " << i;
      EXPECT_EQ(out[count * 2], GUARD_BYTE);
    }
}

// Every count up to 70 covers empty rows, rows shorter than one group and
// every remainder after the grouped body, at every alignment of both rows.
TEST(ConvertAgainstReference, EveryCountUpTo70AtUnalignedAddresses) {
  std::mt19937 random(12345);
  for (uint32_t count = 0; count <= 70; ++count) {
    const std::vector<uint32_t> pixels = random_pixels(random, count);
    for (const converter_case &c : CONVERTERS)
      for (size_t source_offset = 0; source_offset < 8; ++source_offset)
        for (size_t destination_offset = 0; destination_offset < 16; ++destination_offset) {
          const std::string difference =
              compare_with_reference(c, pixels, source_offset, destination_offset);
          ASSERT_EQ(difference, "");
        }
  }
}

TEST(ConvertAgainstReference, RandomRowsOf640) {
  std::mt19937 random(777);
  for (int row = 0; row < 20; ++row) {
    const std::vector<uint32_t> pixels = random_pixels(random, 640);
    const size_t source_offset = random() % 16, destination_offset = random() % 16;
    for (const converter_case &c : CONVERTERS)
      ASSERT_EQ(compare_with_reference(c, pixels, source_offset, destination_offset), "");
  }
}
