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

// One frame's composition as the frame loop runs it: keyed full-frame draw,
// noise fill and add, tint with a phase from a song clock.
static void BM_compose_frame(benchmark::State &state) {
  std::vector<uint8_t> picture = scene_picture();
  std::vector<uint32_t> frame(FRAME_PIXELS, 0u), field(NOISE_CELLS);
  int32_t noise = NOISE_SEED;
  int32_t time_ms = 0;
  for (auto _ : state) {
    draw_gray_keyed(picture.data(), 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame.data());
    fill_noise_field(field.data(), &noise);
    add_noise_field(field.data(), frame.data());
    tint_frame(frame.data(), float(std::sin(double(time_ms))));
    time_ms += 17;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FRAME_PIXELS * 4);
}
BENCHMARK(BM_compose_frame);
