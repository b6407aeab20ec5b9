// Colour tint: every pixel rebuilt from its low byte and the frame's phase.
#include "compose/compose.h"

float tint_phase;

void tint_frame(uint32_t *frame, float phase) {
  for (int32_t p = 0; p < FRAME_PIXELS; ++p) {
    int32_t s = int8_t(uint8_t(frame[p]));
    uint32_t blue = uint32_t(s - int32_t(phase)) & 0xFFu;
    uint32_t green = uint32_t(int32_t(double(s) + double(TINT_GREEN_FACTOR) * double(phase))) & 0xFFu;
    uint32_t red = uint32_t(int32_t(double(s) + double(TINT_RED_FACTOR) * double(phase))) & 0xFFu;
    frame[p] = red << 16 | green << 8 | blue;
  }
}
