// test_files.h - temporary folders and whole files, for the tests and checks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh, empty folder in the system's temporary folder, named after `name`,
// this process and a count, removed with everything in it when the object goes.
struct temp_folder {
  std::filesystem::path path;
  explicit temp_folder(const std::string &name);
  ~temp_folder();
  temp_folder(const temp_folder &) = delete;
  temp_folder &operator=(const temp_folder &) = delete;
};

// The whole file; empty when it cannot be read.
std::vector<uint8_t> read_file(const std::filesystem::path &path);
// Writes `bytes` as the whole file, replacing it; false when it cannot.
bool write_file(const std::filesystem::path &path, const std::vector<uint8_t> &bytes);
