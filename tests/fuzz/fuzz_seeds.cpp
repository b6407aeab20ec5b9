// quarvelin-fuzz-seeds FOLDER: writes the songs the music tests make in code
// into FOLDER, one file each, as the song fuzzer's starting corpus.
#include "tests/music/test_songs.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quarvelin-fuzz-seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  auto files = shaped_song_files();
  xm_module small = test_song(2, 8, 4, 3);
  small.patterns[0].at(0, 0) = {49, 1, 0, 0x0E, 0xD2};
  small.patterns[0].at(4, 1) = {52, 3, 0xF2, 0, 0};
  files.emplace_back("small", xm_write(small));
  int written = 0;
  for (const auto &[name, bytes] : files) {
    std::string file_name = "seed-" + name + ".xm";
    for (char &c : file_name)
      if (c == ' ') c = '-';
    FILE *file = std::fopen((folder / file_name).c_str(), "wb");
    if (file == nullptr) return 1;
    written += std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
  }
  return written == int(files.size()) ? 0 : 1;
}
