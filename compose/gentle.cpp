// Gentle viewing: the shown frame follows the composed one at a bounded pace.
#include "compose/compose.h"

#include <cmath>

uint32_t gentle_frame[FRAME_PIXELS];
float gentle_light[3 * FRAME_PIXELS];

// Linear light back to a byte: the nearest byte for each of LIGHT_LEVELS
// evenly spaced levels (fine enough to be within half a byte near black).
constexpr int32_t LIGHT_LEVELS = 16384;
static float light_of_byte[256];
static uint8_t byte_of_light[LIGHT_LEVELS];

static int build_light_tables() {
  for (int32_t v = 0; v < 256; ++v) {
    double c = v / 255.0;
    light_of_byte[v] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
  }
  int32_t byte = 0;
  for (int32_t i = 0; i < LIGHT_LEVELS; ++i) {
    const float level = float(i) / float(LIGHT_LEVELS - 1);
    while (byte < 255 && light_of_byte[byte + 1] - level < level - light_of_byte[byte]) ++byte;
    byte_of_light[i] = uint8_t(byte);
  }
  return 1;
}

const float *light_of_byte_table() {
  static const int built = build_light_tables(); // once, safe from any thread
  (void)built;
  return light_of_byte;
}

static uint32_t byte_of(float light) {
  int32_t i = int32_t(light * float(LIGHT_LEVELS - 1) + 0.5f);
  i = i < 0 ? 0 : i >= LIGHT_LEVELS ? LIGHT_LEVELS - 1 : i;
  return byte_of_light[i];
}

void gentle_follow(const uint32_t *target, int32_t elapsed_ms, float *light, uint32_t *shown) {
  const float *table = light_of_byte_table();
  if (elapsed_ms < 0) elapsed_ms = 0;
  if (elapsed_ms > 100) elapsed_ms = 100;
  const float light_room = GENTLE_LIGHT_PER_SECOND * float(elapsed_ms) / 1000.0f;
  const float red_room = GENTLE_RED_PER_SECOND * float(elapsed_ms) / 1000.0f;
  for (int32_t p = 0; p < FRAME_PIXELS; ++p) {
    const uint32_t goal = target[p] & 0xFFFFFFu;
    float *now = light + 3 * p;
    const float red = table[goal >> 16], green = table[(goal >> 8) & 0xFF], blue = table[goal & 0xFF];
    if (shown[p] == goal && now[0] == red && now[1] == green && now[2] == blue) continue;
    const float dr = red - now[0], dg = green - now[1], db = blue - now[2];
    // The luminance and the red value change in proportion along the way; the
    // red value's floor at 0 only makes its change smaller, and a path that
    // stays at the floor does not change it at all.
    float part = 1.0f;
    const float light_change = std::fabs(relative_luminance(dr, dg, db));
    if (light_change > light_room) part = light_room / light_change;
    if (red_flash_difference(now[0], now[1], now[2]) > 0 ||
        red_flash_difference(red, green, blue) > 0) {
      const float red_change = std::fabs(red_flash_difference(dr, dg, db));
      if (red_change * part > red_room) part = red_room / red_change;
    }
    if (part >= 1.0f) {
      now[0] = red, now[1] = green, now[2] = blue;
      shown[p] = goal;
      continue;
    }
    now[0] += part * dr, now[1] += part * dg, now[2] += part * db;
    shown[p] = byte_of(now[0]) << 16 | byte_of(now[1]) << 8 | byte_of(now[2]);
  }
}
