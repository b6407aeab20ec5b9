// The "IDI_MAIN" icon at its two sizes, each drawn into static storage the
// first time it is asked for. Both come from one 16-colour palette and the
// same few shapes laid out on a 64 x 64 grid scaled to the size, so the two
// sizes show the same picture: an outlined tile whose background lightens
// towards the bottom, a shaded ring with a tail, and a row of coloured bars.
#include "resources/icon.h"

#include <cstring>

static const uint32_t ICON_PALETTE[16] = {
    0xFF0A0C24, 0xFF10163A, 0xFF182252, 0xFF22306C, // background, dark to light
    0xFF5A6AA8, 0xFF8C9CD8, 0xFFC8D2F4, 0xFFFFFFFF, // ring shading
    0xFFE0483C, 0xFFF08C2C, 0xFFF4D23C, 0xFF5CC85C, // bars
    0xFF3CA0E8, 0xFF8C5CE0, 0xFF000000, 0xFF404040, // bars, outline, shadow
};

static uint32_t icon_large[RESOURCE_ICON_LARGE * RESOURCE_ICON_LARGE];
static uint32_t icon_small[RESOURCE_ICON_SMALL * RESOURCE_ICON_SMALL];

// Palette index of the pixel at (x, y) of a size x size icon.
static int icon_colour(int32_t x, int32_t y, int32_t size) {
  // Work in a 64-unit space so both sizes share one shape (pixel centres).
  int32_t u = (2 * x + 1) * 32 / size;
  int32_t v = (2 * y + 1) * 32 / size;
  if (u <= 2 || v <= 2 || u >= 62 || v >= 62) return 14; // outline
  // Bars along the bottom.
  if (v >= 50 && v < 58 && u >= 6 && u < 58) return 8 + (u - 6) / 9;
  // The ring: centre (30, 26), radii 11 .. 19 units.
  int32_t du = u - 30, dv = v - 26;
  int32_t r2 = du * du + dv * dv;
  if (r2 >= 11 * 11 && r2 < 19 * 19) {
    int32_t light = 7 - (du + dv + 40) / 14; // lit from the top left
    return light < 4 ? 4 : light;
  }
  // The tail from the lower right of the ring.
  int32_t along = u - v;
  if (u >= 36 && u < 50 && v >= 34 && v < 48 && along >= -3 && along <= 3) return 6;
  // Background: lighter towards the bottom (palette 0 .. 3).
  return v / 16;
}

static void draw_icon(uint32_t *pixels, int32_t size) {
  for (int32_t y = 0; y < size; ++y)
    for (int32_t x = 0; x < size; ++x) pixels[y * size + x] = ICON_PALETTE[icon_colour(x, y, size)];
}

const uint32_t *resource_icon(const char *name, int32_t size) {
  if (name == nullptr || std::strcmp(name, "IDI_MAIN") != 0) return nullptr;
  uint32_t *pixels = size == RESOURCE_ICON_LARGE   ? icon_large
                     : size == RESOURCE_ICON_SMALL ? icon_small
                                                   : nullptr;
  if (pixels == nullptr) return nullptr;
  if (pixels[0] == 0) draw_icon(pixels, size); // every pixel is opaque once drawn
  return pixels;
}
