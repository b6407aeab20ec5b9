#include "reference.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

static uint32_t tint_one(uint32_t pixel, float phase) {
  Frame frame(FRAME_PIXELS, pixel);
  tint_frame(frame.data(), phase);
  return frame[FRAME_PIXELS - 1];
}

TEST(Tint, Figures) {
  EXPECT_EQ(tint_one(0x000000FFu, 0.5f), 0x00180EFFu);
  EXPECT_EQ(tint_one(0x00123456u, -0.25f), 0x00494E56u);
  EXPECT_EQ(tint_one(10, 1.0f), 60u << 16 | 40u << 8 | 9u);
  EXPECT_EQ(tint_one(200, 0.01f) >> 16, 201u); // -56 + 0.5 truncates toward zero
  EXPECT_EQ(tint_one(250, 0.5f) >> 16, 19u);   // -6 + 25 wraps the byte range
  EXPECT_EQ(tint_one(0xFFABCD77u, 0.0f), 0x00777777u);
}

// Phases where truncation and double rounding are delicate, plus random ones
// and the frame loop's own sines.
static std::vector<float> test_phases() {
  std::vector<float> phases = {0.0f,          -0.0f,         1.0f,          -1.0f,
                               0.5f,          -0.5f,         -0.25f,        0.01f,
                               1.0f / 30,     -1.0f / 50,    0.02f,         0.1f,
                               1e-6f,         -1e-6f,        1e-10f,        -1e-10f,
                               0x1p-20f,      -0x1p-40f,     FLT_MIN,       -FLT_MIN,
                               1e-40f,        -3e-39f,       FLT_TRUE_MIN,  -FLT_TRUE_MIN,
                               std::nextafter(1.0f, 0.0f), std::nextafter(-1.0f, 0.0f)};
  std::mt19937 random(5);
  std::uniform_real_distribution<float> any(-1.0f, 1.0f);
  for (int i = 0; i < 40; ++i) phases.push_back(any(random));
  for (int e = 10; e < 150; e += 7) phases.push_back(std::ldexp(any(random), -e));
  for (int32_t ms = 0; ms < 20000; ms += 997) phases.push_back(float(std::sin(double(ms))));
  return phases;
}

class TintKernels : public ::testing::TestWithParam<int32_t> {
protected:
  void SetUp() override { tint_kernel_limit = GetParam(); }
  void TearDown() override { tint_kernel_limit = TINT_KERNEL_AVX2; }
};

// Every low byte occurs in a random frame many times, each with random upper
// bytes that the tint must ignore.
TEST_P(TintKernels, TintMatchesReferenceForAllBytesAndPhases) {
  std::mt19937 random(6);
  const Frame input = random_frame(random);
  for (float phase : test_phases()) {
    Frame expected = input, actual = input;
    reference_tint(expected.data(), phase);
    tint_frame(actual.data(), phase);
    ASSERT_EQ(count_differences(expected, actual.data()), 0) << std::hexfloat << phase;
  }
}

// The one-pass routines against draw, add and tint done one after the other.
TEST_P(TintKernels, OnePassCompositionMatchesSeparateSteps) {
  std::mt19937 random(7);
  const std::vector<float> phases = test_phases();
  std::vector<uint32_t> field(NOISE_CELLS);
  int32_t state = NOISE_SEED;
  for (size_t trial = 0; trial < 24; ++trial) {
    float phase = phases[(trial * 7) % phases.size()];
    reference_fill(field.data(), state);
    std::vector<uint8_t> picture = random_picture(random, PICTURE_BYTES);
    Frame start = random_frame(random);

    Frame expected = start, actual = start;
    reference_add(field.data(), expected.data());
    reference_tint(expected.data(), phase);
    add_noise_and_tint(field.data(), actual.data(), phase);
    ASSERT_EQ(count_differences(expected, actual.data()), 0) << std::hexfloat << phase;

    expected = start, actual = start;
    reference_draw(picture.data(), 0, 0, FRAME_WIDTH, FRAME_HEIGHT, expected.data(), true);
    reference_add(field.data(), expected.data());
    reference_tint(expected.data(), phase);
    draw_keyed_noise_tint(picture.data(), field.data(), actual.data(), phase);
    ASSERT_EQ(count_differences(expected, actual.data()), 0) << std::hexfloat << phase;
  }
}

static std::string kernel_name(const ::testing::TestParamInfo<int32_t> &kernel) {
  const char *names[] = {"Table", "Sse2", "Avx2"};
  return names[kernel.param];
}

INSTANTIATE_TEST_SUITE_P(Compose, TintKernels,
                         ::testing::Values(TINT_KERNEL_TABLE, TINT_KERNEL_SSE2, TINT_KERNEL_AVX2),
                         kernel_name);
