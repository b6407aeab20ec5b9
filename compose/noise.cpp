// Block noise: a 31-bit linear-feedback shift register feeding an 80 x 60
// field of gray cells, each added to an 8 x 8 block of the frame.
#include "compose/compose.h"

int32_t noise_state = NOISE_SEED;
uint32_t noise_field[NOISE_CELLS];

// One column of the field is 60 steps, taken in three batches of 20.
constexpr int32_t NOISE_BATCH = 20;
static_assert(NOISE_ROWS % NOISE_BATCH == 0);

// A step outputs bits 1..8 of s ^ (s >> 3) and shifts in bit 0 ^ bit 3 at
// bit 30, so register bit 31 + i of the bit stream is bit i ^ bit i + 3 of
// the current register for i < 28: the next 28 stream bits follow from the
// current register alone. With them in a 59-bit window, the outputs of a
// batch of steps are independent shifts instead of a serial chain.
void fill_noise_field(uint32_t *field, int32_t *state) {
  uint64_t s = uint32_t(*state);
  for (int32_t col = 0; col < NOISE_COLS; ++col) {
    for (int32_t row = 0; row < NOISE_ROWS; row += NOISE_BATCH) {
      uint64_t window = s | (((s ^ (s >> 3)) & 0x0FFFFFFFu) << 31);
      uint64_t taps = window ^ (window >> 3);
      for (int32_t i = 0; i < NOISE_BATCH; ++i)
        field[(row + i) * NOISE_COLS + col] = uint32_t((taps >> (i + 1)) & 0xFFu) * 0x010101u;
      s = (window >> NOISE_BATCH) & 0x7FFFFFFFu;
    }
  }
  *state = int32_t(s);
}

void add_noise_field(const uint32_t *field, uint32_t *frame) {
  uint32_t row_offsets[FRAME_WIDTH];
  for (int32_t row = 0; row < NOISE_ROWS; ++row) {
    for (int32_t col = 0; col < NOISE_COLS; ++col) {
      uint32_t offset = noise_cell_offset(field[row * NOISE_COLS + col]) * 0x010101u;
      for (int32_t k = 0; k < NOISE_CELL; ++k) row_offsets[col * NOISE_CELL + k] = offset;
    }
    uint32_t *block_row = frame + row * NOISE_CELL * FRAME_WIDTH;
    for (int32_t j = 0; j < NOISE_CELL; ++j) {
      uint32_t *line = block_row + j * FRAME_WIDTH;
      for (int32_t x = 0; x < FRAME_WIDTH; ++x) line[x] += row_offsets[x];
    }
  }
}
