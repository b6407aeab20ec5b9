// quarvelin-fuzz-replay FILE...: runs the song fuzzer's check on each file
// once, without libFuzzer, so the committed regression corpus (corpus/)
// replays in every build, the sanitizers' included. Status 0 when every file
// passes; a failing file traps.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quarvelin-fuzz-replay FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "quarvelin-fuzz-replay: cannot read %s\n", argv[i]);
      return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%d inputs replayed\n", argc - 1);
  return 0;
}
