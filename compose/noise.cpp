// Block noise: a 31-bit linear-feedback shift register feeding an 80 x 60
// field of gray cells, each added to an 8 x 8 block of the frame.
#include "compose/compose.h"

int32_t noise_state = NOISE_SEED;
uint32_t noise_field[NOISE_CELLS];

void fill_noise_field(uint32_t *field, int32_t *state) {
  uint32_t s = uint32_t(*state);
  for (int32_t col = 0; col < NOISE_COLS; ++col) {
    for (int32_t row = 0; row < NOISE_ROWS; ++row) {
      uint32_t t = s ^ (s >> 3);
      field[row * NOISE_COLS + col] = ((t >> 1) & 0xFFu) * 0x010101u;
      s = (s >> 1) | ((t & 1u) << 30);
    }
  }
  *state = int32_t(s);
}

void add_noise_field(const uint32_t *field, uint32_t *frame) {
  for (int32_t row = 0; row < NOISE_ROWS; ++row) {
    for (int32_t col = 0; col < NOISE_COLS; ++col) {
      int32_t v = int8_t(uint8_t(field[row * NOISE_COLS + col]));
      int32_t q = v / 8;
      uint32_t offset = (uint32_t(q) & 0xFFu) * 0x010101u;
      uint32_t *block = frame + row * NOISE_CELL * FRAME_WIDTH + col * NOISE_CELL;
      for (int32_t j = 0; j < NOISE_CELL; ++j)
        for (int32_t k = 0; k < NOISE_CELL; ++k) block[j * FRAME_WIDTH + k] += offset;
    }
  }
}
