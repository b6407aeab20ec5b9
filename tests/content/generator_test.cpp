// The generator program: writes the ten files, byte for byte the same on every run.
#include "tools/content.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const char *const FILES[] = {"quarvelin.raw", "2.raw", "3.raw", "4.raw",       "5.raw",
                             "6.raw",         "7.raw", "8.raw", "credits.raw", "RETRO.XM"};

std::vector<uint8_t> read_file(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int run_tool(const std::string &arguments) {
  const int status =
      std::system((std::string(QUARVELIN_CONTENT_TOOL) + " " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct temp_folder {
  fs::path path;
  explicit temp_folder(const std::string &name) {
    path = fs::temp_directory_path() / ("quarvelin-content-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~temp_folder() { fs::remove_all(path); }
};

} // namespace

TEST(Generator, TwoRunsWriteTheSameTenFiles) {
  temp_folder first("first"), second("second");
  ASSERT_EQ(run_tool(first.path.string()), 0);
  ASSERT_EQ(run_tool(second.path.string()), 0);
  for (const char *name : FILES) {
    const std::vector<uint8_t> a = read_file(first.path / name), b = read_file(second.path / name);
    EXPECT_FALSE(a.empty()) << name;
    EXPECT_TRUE(a == b) << name << " differs between runs";
  }
  // The files are what the library computes.
  EXPECT_TRUE(read_file(first.path / "quarvelin.raw") == content_logo());
  EXPECT_TRUE(read_file(first.path / "6.raw") == content_scene(6));
  EXPECT_TRUE(read_file(first.path / "credits.raw") == content_credits());
  EXPECT_TRUE(read_file(first.path / "RETRO.XM") == xm_write(content_song()));
  EXPECT_EQ(fs::file_size(first.path / "quarvelin.raw"), 58843u);
  for (int number = 2; number <= 8; ++number)
    EXPECT_EQ(fs::file_size(first.path / (std::to_string(number) + ".raw")), 307200u);
}

TEST(Generator, ReportsAFolderItCannotWriteAndAMissingArgument) {
  temp_folder folder("missing");
  EXPECT_EQ(run_tool((folder.path / "not-there").string()), 1);
  EXPECT_EQ(run_tool(""), 2);
  EXPECT_EQ(run_tool("--cues"), 0);
}
