// The frame converted and scaled onto a larger screen, as the screen layer
// does where no GPU scales it, against memcpy of the same output size in
// the same run (BM_memcpy_screen, same arguments): the goal is within 1.5x.
// Arguments: bytes per screen pixel, then the picture's width and height on
// the screen (1440 x 1080 fills a 1920 x 1080 screen's height, 2880 x 2160 a
// 3840 x 2160 one's).
#include "compose/compose.h"
#include "display/convert.h"
#include "display/scale.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

row_converter_fn converter_for(int64_t bytes_per_pixel) {
  return bytes_per_pixel == 4 ? convert_copy_32
         : bytes_per_pixel == 3 ? convert_24_rgb
                                : convert_16_rgb565;
}

void BM_convert_and_scale(benchmark::State &state) {
  const uint32_t bytes_per_pixel = uint32_t(state.range(0));
  const int32_t width = int32_t(state.range(1)), height = int32_t(state.range(2));
  const row_converter_fn converter = converter_for(state.range(0));
  std::vector<uint32_t> frame(FRAME_PIXELS);
  uint32_t seed = 0x2545F491u;
  for (uint32_t &pixel : frame) pixel = (seed = seed * 1664525u + 1013904223u) >> 8;
  const int32_t picture_pitch = FRAME_WIDTH * int32_t(bytes_per_pixel);
  const int32_t screen_pitch = width * int32_t(bytes_per_pixel);
  std::vector<uint8_t> picture(size_t(picture_pitch) * FRAME_HEIGHT);
  std::vector<uint8_t> screen(size_t(screen_pitch) * size_t(height));
  const scale_placement place = scale_fit(FRAME_WIDTH, FRAME_HEIGHT, width, height);
  for (auto _ : state) {
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
      converter(frame.data() + size_t(y) * FRAME_WIDTH,
                picture.data() + size_t(y) * size_t(picture_pitch), FRAME_WIDTH);
    scale_picture(picture.data(), FRAME_WIDTH, FRAME_HEIGHT, picture_pitch, bytes_per_pixel,
                  place, screen.data(), screen_pitch);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(screen.size()));
}

void BM_memcpy_screen(benchmark::State &state) {
  const size_t bytes = size_t(state.range(0) * state.range(1) * state.range(2));
  std::vector<uint8_t> source(bytes, 0x80), destination(bytes);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void screen_sizes(benchmark::internal::Benchmark *benchmark) {
  for (int64_t bytes_per_pixel : {4, 3, 2})
    for (auto size : {std::pair<int64_t, int64_t>{1440, 1080}, {2880, 2160}})
      benchmark->Args({bytes_per_pixel, size.first, size.second});
}

BENCHMARK(BM_convert_and_scale)->Apply(screen_sizes);
BENCHMARK(BM_memcpy_screen)->Apply(screen_sizes);

} // namespace
