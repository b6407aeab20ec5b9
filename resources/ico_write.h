// ico_write.h - a Windows icon file (.ico) from 32-bit pictures.
//
// Each image is stored as a 32-bit bottom-up bitmap with its alpha channel
// and an all-clear AND mask, which every Windows since XP reads.
#pragma once

#include <cstdint>
#include <vector>

struct ico_image {
  int32_t size;           // width = height, 1 .. 256
  const uint32_t *pixels; // size x size, 0xAARRGGBB, top row first
};

// The whole file; empty when an image's size is out of range.
std::vector<uint8_t> ico_file(const std::vector<ico_image> &images);
