// Baseline and the frame composition.
#include "compose/compose.h"

#include <benchmark/benchmark.h>

#include <cstring>
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
