#include "tests/support/test_files.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

temp_folder::temp_folder(const std::string &name) {
  static std::atomic<int> made{0};
  path = std::filesystem::temp_directory_path() /
         ("quarvelin-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(made++));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
}

temp_folder::~temp_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::vector<uint8_t> read_file(const std::filesystem::path &path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool write_file(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  return bool(file.flush());
}
