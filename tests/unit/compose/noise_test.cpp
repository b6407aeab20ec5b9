#include "reference.h"

#include <gtest/gtest.h>

TEST(Noise, GeneratorFigures) {
  int32_t s = NOISE_SEED;
  const uint32_t first_bytes[] = {150, 203, 229, 114, 57, 28};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(reference_noise_step(s), first_bytes[i]) << i;
    if (i == 0) {
      EXPECT_EQ(s, 0x400091A2);
    }
  }

  // The field is filled column by column: the first steps land in column 0.
  std::vector<uint32_t> field(NOISE_CELLS);
  int32_t state = NOISE_SEED;
  fill_noise_field(field.data(), &state);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_EQ(field[i * NOISE_COLS], first_bytes[i] * 0x010101u) << i;
  EXPECT_EQ(state, 0x3325F2B4);
  EXPECT_EQ(noise_state, NOISE_SEED);
}

// Many frames in a row from the seed, and from random register values: the
// batched generator must follow the one-step-at-a-time sequence exactly.
TEST(Noise, FillMatchesReferenceFrameAfterFrame) {
  std::mt19937 random(3);
  for (int run = 0; run < 4; ++run) {
    int32_t state = run == 0 ? NOISE_SEED : int32_t(random() & 0x7FFFFFFFu);
    int32_t expected_state = state;
    std::vector<uint32_t> field(NOISE_CELLS), expected(NOISE_CELLS);
    for (int frame = 0; frame < 50; ++frame) {
      reference_fill(expected.data(), expected_state);
      fill_noise_field(field.data(), &state);
      ASSERT_EQ(field, expected) << "run " << run << " frame " << frame;
      ASSERT_EQ(state, expected_state);
    }
  }
}

TEST(Noise, CellOffsets) {
  // Gray levels 0..7 and 249..255 round to q = 0; 128 gives -16; 127 gives 15.
  for (uint32_t g : {0u, 7u, 249u, 255u}) EXPECT_EQ(noise_cell_offset(g * 0x010101u), 0u) << g;
  EXPECT_EQ(noise_cell_offset(128), 0xF0u);
  EXPECT_EQ(noise_cell_offset(248), 0xFFu);
  EXPECT_EQ(noise_cell_offset(8), 1u);
  EXPECT_EQ(noise_cell_offset(127), 15u);

  Frame frame(FRAME_PIXELS, 0x00050505u);
  std::vector<uint32_t> field(NOISE_CELLS, 3 * 0x010101u);
  field[0] = 128 * 0x010101u;
  add_noise_field(field.data(), frame.data());
  EXPECT_EQ(frame[0] & 0xFFu, 245u); // 5 - 16 wraps
  EXPECT_EQ(frame[7 * FRAME_WIDTH + 7] & 0xFFu, 245u);
  EXPECT_EQ(frame[8], 0x00050505u);
  EXPECT_EQ(frame[8 * FRAME_WIDTH], 0x00050505u);
}

// Only the last cell has an offset: exactly the bottom-right 8 x 8 block,
// which holds pixel (639, 479), changes.
TEST(Noise, LastCellCoversTheFrameCorner) {
  std::vector<uint32_t> field(NOISE_CELLS, 0u);
  field[59 * NOISE_COLS + 79] = 100 * 0x010101u;
  Frame frame(FRAME_PIXELS, 0u);
  add_noise_field(field.data(), frame.data());
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    for (int32_t x = 0; x < FRAME_WIDTH; ++x)
      ASSERT_EQ(frame[size_t(y * FRAME_WIDTH + x)], x >= 632 && y >= 472 ? 0x000C0C0Cu : 0u);
}

TEST(Noise, AddMatchesReferenceOnRandomFrames) {
  std::mt19937 random(4);
  std::vector<uint32_t> field(NOISE_CELLS);
  for (int trial = 0; trial < 10; ++trial) {
    for (uint32_t &cell : field) cell = trial % 2 ? uint32_t(random()) : (random() & 0xFFu) * 0x010101u;
    Frame expected = random_frame(random), actual = expected;
    reference_add(field.data(), expected.data());
    add_noise_field(field.data(), actual.data());
    ASSERT_EQ(count_differences(expected, actual.data()), 0) << trial;
  }
}
