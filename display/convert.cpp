// Row converters from 0x00RRGGBB frame pixels to the screen's layouts.
// Straightforward per-pixel versions.
#include "display/display.h"

#include <cstring>

static inline void store16(uint8_t *destination, uint32_t value) {
  destination[0] = uint8_t(value);
  destination[1] = uint8_t(value >> 8);
}

void convert_copy_32(const uint32_t *source, uint8_t *destination, uint32_t count) {
  std::memcpy(destination, source, size_t(count) * 4);
}

void convert_32_bgr(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    uint32_t out = (p & 0xFFu) << 16 | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    std::memcpy(destination + i * 4, &out, 4);
  }
}

void convert_24_rgb(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    destination[i * 3 + 0] = uint8_t(p);
    destination[i * 3 + 1] = uint8_t(p >> 8);
    destination[i * 3 + 2] = uint8_t(p >> 16);
  }
}

void convert_24_bgr(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    destination[i * 3 + 0] = uint8_t(p >> 16);
    destination[i * 3 + 1] = uint8_t(p >> 8);
    destination[i * 3 + 2] = uint8_t(p);
  }
}

void convert_16_rgb565(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    store16(destination + i * 2, ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F));
  }
}

void convert_16_bgr565(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    store16(destination + i * 2, ((p >> 3) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 19) & 0x1F));
  }
}

void convert_16_rgb555(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    store16(destination + i * 2, ((p >> 19) & 0x1F) << 10 | ((p >> 11) & 0x1F) << 5 | ((p >> 3) & 0x1F));
  }
}

void convert_16_bgr555(const uint32_t *source, uint8_t *destination, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t p = source[i];
    store16(destination + i * 2, ((p >> 3) & 0x1F) << 10 | ((p >> 11) & 0x1F) << 5 | ((p >> 19) & 0x1F));
  }
}

row_converter_fn select_converter(uint32_t bits, uint32_t red_mask, uint32_t green_mask,
                                  uint32_t blue_mask) {
  struct layout {
    uint32_t bits, red, green, blue;
    row_converter_fn converter;
  };
  static const layout layouts[] = {
      {32, 0x00FF0000, 0x0000FF00, 0x000000FF, convert_copy_32},
      {32, 0x000000FF, 0x0000FF00, 0x00FF0000, convert_32_bgr},
      {24, 0x00FF0000, 0x0000FF00, 0x000000FF, convert_24_rgb},
      {24, 0x000000FF, 0x0000FF00, 0x00FF0000, convert_24_bgr},
      {16, 0xF800, 0x07E0, 0x001F, convert_16_rgb565},
      {16, 0x001F, 0x07E0, 0xF800, convert_16_bgr565},
      {16, 0x7C00, 0x03E0, 0x001F, convert_16_rgb555},
      {16, 0x001F, 0x03E0, 0x7C00, convert_16_bgr555},
  };
  for (const layout &l : layouts)
    if (l.bits == bits && l.red == red_mask && l.green == green_mask && l.blue == blue_mask)
      return l.converter;
  return nullptr;
}
