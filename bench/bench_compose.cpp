// Baseline and the frame composition.
#include "compose/compose.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

static void BM_memcpy_frame(benchmark::State &state) {
  std::vector<uint32_t> source(FRAME_PIXELS, 0x00808080u), destination(FRAME_PIXELS);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), FRAME_PIXELS * sizeof(uint32_t));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FRAME_PIXELS * 4);
}
BENCHMARK(BM_memcpy_frame);

// A scene-like picture: every row is a chain of runs 4 .. 80 pixels long,
// about 40% of them transparent (0), the rest gray ramps, so the keyed draw
// sees the mix of empty areas and shapes of a real scene.
static std::vector<uint8_t> scene_picture() {
  std::vector<uint8_t> picture(PICTURE_BYTES);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> run_length(4, 80), percent(0, 99), level(1, 255);
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
    int32_t x = 0;
    while (x < FRAME_WIDTH) {
      int length = run_length(random);
      bool empty = percent(random) < 40;
      int start = level(random);
      for (int i = 0; i < length && x < FRAME_WIDTH; ++i, ++x)
        picture[size_t(y * FRAME_WIDTH + x)] = empty ? 0 : uint8_t(1 + (start + i) % 255);
    }
  }
  return picture;
}

// One frame's composition as the frame loop runs it for a scene picture:
// noise fill, then the keyed full-frame draw, noise add and tint in one pass.
static void BM_compose_frame(benchmark::State &state) {
  std::vector<uint8_t> picture = scene_picture();
  std::vector<uint32_t> frame(FRAME_PIXELS, 0u), field(NOISE_CELLS);
  int32_t noise = NOISE_SEED;
  int32_t time_ms = 0;
  for (auto _ : state) {
    fill_noise_field(field.data(), &noise);
    draw_keyed_noise_tint(picture.data(), field.data(), frame.data(),
                          float(std::sin(double(time_ms))));
    time_ms += 17;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FRAME_PIXELS * 4);
}
BENCHMARK(BM_compose_frame);

// The stages on their own, and the same composition as four separate passes
// (as for the logo and the credits, which are not drawn keyed over the whole
// frame), to see where a frame's time goes.
static void BM_compose_stage(benchmark::State &state) {
  std::vector<uint8_t> picture = scene_picture();
  std::vector<uint32_t> frame(FRAME_PIXELS, 0u), field(NOISE_CELLS);
  int32_t noise = NOISE_SEED;
  fill_noise_field(field.data(), &noise);
  int32_t time_ms = 0;
  for (auto _ : state) {
    float phase = float(std::sin(double(time_ms)));
    time_ms += 17;
    switch (state.range(0)) {
    case 0: draw_gray_keyed(picture.data(), 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame.data()); break;
    case 1: fill_noise_field(field.data(), &noise); break;
    case 2: add_noise_field(field.data(), frame.data()); break;
    case 3: tint_frame(frame.data(), phase); break;
    case 4: add_noise_and_tint(field.data(), frame.data(), phase); break;
    case 5:
      draw_gray_keyed(picture.data(), 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame.data());
      fill_noise_field(field.data(), &noise);
      add_noise_and_tint(field.data(), frame.data(), phase);
      break;
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_compose_stage)->DenseRange(0, 5)->ArgName("stage");
