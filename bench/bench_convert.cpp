// Row converters over a whole frame, against SDL_ConvertPixels doing the
// same conversion row by row. Compare both with BM_memcpy_frame of the same
// run.
#include "compose/compose.h"
#include "display/convert.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// The destination pitch is longer than a row, as a locked surface's may be.
constexpr size_t PITCH_SLACK = 64;

struct layout {
  row_converter_fn converter;
  uint32_t bytes_per_pixel;
  uint32_t sdl_format;
};

// A frame with varied channels, so that no converter sees only zeros.
std::vector<uint32_t> make_source_frame() {
  std::vector<uint32_t> frame(FRAME_PIXELS);
  uint32_t state = 0x2545F491u;
  for (uint32_t &pixel : frame) {
    state = state * 1664525u + 1013904223u;
    pixel = state >> 8;
  }
  return frame;
}

size_t pitch_of(const layout &l) { return size_t(FRAME_WIDTH) * l.bytes_per_pixel + PITCH_SLACK; }

void convert_frame(const layout &l, const uint32_t *source, uint8_t *destination) {
  const size_t pitch = pitch_of(l);
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    l.converter(source + size_t(y) * FRAME_WIDTH, destination + size_t(y) * pitch, FRAME_WIDTH);
}

int sdl_convert_frame(const layout &l, const uint32_t *source, uint8_t *destination) {
  const size_t pitch = pitch_of(l);
  for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
    if (SDL_ConvertPixels(FRAME_WIDTH, 1, SDL_PIXELFORMAT_XRGB8888,
                          source + size_t(y) * FRAME_WIDTH, FRAME_WIDTH * 4, l.sdl_format,
                          destination + size_t(y) * pitch, int(pitch)) != 0)
      return 0;
  return 1;
}

// Both sides must produce the same bytes, or the comparison means nothing.
bool sdl_agrees(const layout &l, const std::vector<uint32_t> &source) {
  const size_t size = pitch_of(l) * FRAME_HEIGHT;
  std::vector<uint8_t> ours(size, 0), theirs(size, 0);
  convert_frame(l, source.data(), ours.data());
  if (!sdl_convert_frame(l, source.data(), theirs.data()))
    return false;
  return ours == theirs;
}

void BM_convert(benchmark::State &state, layout l) {
  const std::vector<uint32_t> source = make_source_frame();
  std::vector<uint8_t> destination(pitch_of(l) * FRAME_HEIGHT);
  for (auto _ : state) {
    convert_frame(l, source.data(), destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FRAME_PIXELS * 4);
}

void BM_sdl_convert(benchmark::State &state, layout l) {
  const std::vector<uint32_t> source = make_source_frame();
  if (!sdl_agrees(l, source)) {
    state.SkipWithError("SDL_ConvertPixels gives other bytes than our converter");
    return;
  }
  std::vector<uint8_t> destination(pitch_of(l) * FRAME_HEIGHT);
  for (auto _ : state) {
    sdl_convert_frame(l, source.data(), destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FRAME_PIXELS * 4);
}

// SDL names packed formats by their masks: on a little-endian machine a
// 24-bit pixel with red in 0xFF0000 is stored B, G, R, which SDL calls BGR24.
#define CONVERTER_BENCHMARKS(name, bytes, sdl_format)                                              \
  BENCHMARK_CAPTURE(BM_convert, name, layout{name, bytes, sdl_format});                            \
  BENCHMARK_CAPTURE(BM_sdl_convert, name, layout{name, bytes, sdl_format})

CONVERTER_BENCHMARKS(convert_copy_32, 4, SDL_PIXELFORMAT_XRGB8888);
CONVERTER_BENCHMARKS(convert_32_bgr, 4, SDL_PIXELFORMAT_XBGR8888);
CONVERTER_BENCHMARKS(convert_24_rgb, 3, SDL_PIXELFORMAT_BGR24);
CONVERTER_BENCHMARKS(convert_24_bgr, 3, SDL_PIXELFORMAT_RGB24);
CONVERTER_BENCHMARKS(convert_16_rgb565, 2, SDL_PIXELFORMAT_RGB565);
CONVERTER_BENCHMARKS(convert_16_bgr565, 2, SDL_PIXELFORMAT_BGR565);
CONVERTER_BENCHMARKS(convert_16_rgb555, 2, SDL_PIXELFORMAT_XRGB1555);
CONVERTER_BENCHMARKS(convert_16_bgr555, 2, SDL_PIXELFORMAT_XBGR1555);

} // namespace
