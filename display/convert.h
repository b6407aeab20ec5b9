// convert.h - the pixel format converters. A row converter writes `count`
// frame pixels (0x00RRGGBB) into one row of screen memory in the screen's
// layout, little-endian, keeping the top bits of each channel.
// select_converter picks one from the layout the screen reports (bits per
// pixel and three masks, exact match), or returns nullptr for a layout it
// does not know.
#pragma once

#include <cstdint>

typedef void (*row_converter_fn)(const uint32_t *source, uint8_t *destination, uint32_t count);

row_converter_fn select_converter(uint32_t bits, uint32_t red_mask, uint32_t green_mask,
                                  uint32_t blue_mask);

void convert_copy_32(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_32_bgr(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_24_rgb(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_24_bgr(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_rgb565(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_bgr565(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_rgb555(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_bgr555(const uint32_t *source, uint8_t *destination, uint32_t count);
