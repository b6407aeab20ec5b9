// quarvelin-fuzz-replay FILE...: the song fuzzer's check on each file once,
// without libFuzzer, so the regression corpus (corpus/) replays in every
// build, the sanitizers' included. A failing input traps.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) return 1;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  return argc > 1 ? 0 : 2;
}
