// icon.h - the program's icon "IDI_MAIN", drawn by our own code.
//
// resource_icon(name, size) gives the named icon's picture of size x size
// pixels, 0xAARRGGBB, row-major, or nullptr when there is no such icon or
// size. "IDI_MAIN" comes in RESOURCE_ICON_LARGE (32) and RESOURCE_ICON_SMALL
// (16). Both use one 16-colour palette: a dark blue tile with a light ring
// and tail (a "Q") and a row of coloured bars, like the show's tint.
#pragma once

#include <cstdint>

constexpr int32_t RESOURCE_ICON_LARGE = 32;
constexpr int32_t RESOURCE_ICON_SMALL = 16;

const uint32_t *resource_icon(const char *name, int32_t size);
