// quarvelin-fuzz-seeds FOLDER: writes the songs the music tests make in code
// into FOLDER, one file each, as the song fuzzer's starting corpus.
#include "tests/support/test_songs.h"

#include <filesystem>
#include <fstream>

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  std::filesystem::create_directories(argv[1]);
  int index = 0;
  for (const auto &[name, bytes] : shaped_song_files()) {
    std::ofstream file(std::filesystem::path(argv[1]) / ("seed-" + std::to_string(index++) + ".xm"),
                       std::ios::binary);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) return 1;
  }
  return 0;
}
