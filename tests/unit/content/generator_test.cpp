// The generator program: writes the ten files, byte for byte the same on every run.
#include "content/content.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

const char *const FILES[] = {"quarvelin.raw", "2.raw", "3.raw", "4.raw",       "5.raw",
                             "6.raw",         "7.raw", "8.raw", "credits.raw", "RETRO.XM"};

int run_tool(const std::string &arguments, const std::string &output = "/dev/null") {
  const int status =
      std::system((std::string(QUARVELIN_CONTENT_TOOL) + " " + arguments + " >" + output + " 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

TEST(Generator, CreatesAMissingFolderAndReportsOneItCannotWriteOrAMissingArgument) {
  temp_folder folder("missing");
  EXPECT_EQ(run_tool((folder.path / "new" / "show").string()), 0);
  EXPECT_TRUE(read_file(folder.path / "new" / "show" / "RETRO.XM") == xm_write(content_song()));
  std::ofstream(folder.path / "a-file") << "x";
  EXPECT_EQ(run_tool((folder.path / "a-file" / "show").string()), 1);
  EXPECT_EQ(run_tool(""), 2);
  EXPECT_EQ(run_tool("--cues"), 0);
}

namespace {

// The line the generator's record holds for a file it wrote: size and 64-bit FNV-1a.
std::string record_line(const std::string &name, const std::vector<uint8_t> &bytes) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (uint8_t byte : bytes)
    hash = (hash ^ byte) * 0x100000001b3u;
  char line[128];
  std::snprintf(line, sizeof line, "%s %zu %llx\n", name.c_str(), bytes.size(), (unsigned long long)hash);
  return line;
}

} // namespace

TEST(Generator, ARunAfterADeletionRestoresItAndKeepsTheUsersOwnFiles) {
  temp_folder folder("rerun");
  ASSERT_EQ(run_tool(folder.path.string()), 0);
  const std::vector<uint8_t> mine(307200, 77), my_song = {'n', 'o', 't', ' ', 'x', 'm'};
  write_file(folder.path / "2.raw", mine);
  write_file(folder.path / "RETRO.XM", my_song);
  fs::remove(folder.path / "3.raw");

  const std::string output = (folder.path / "output").string();
  ASSERT_EQ(run_tool(folder.path.string(), output), 0);
  EXPECT_TRUE(read_file(folder.path / "2.raw") == mine);
  EXPECT_TRUE(read_file(folder.path / "RETRO.XM") == my_song);
  EXPECT_TRUE(read_file(folder.path / "3.raw") == content_scene(3));
  const std::vector<uint8_t> said = read_file(output);
  const std::string message(said.begin(), said.end());
  EXPECT_NE(message.find(" 2.raw"), std::string::npos) << message;
  EXPECT_NE(message.find(" RETRO.XM"), std::string::npos) << message;
  EXPECT_EQ(message.find("3.raw"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << "said once";

  // Deleting the user's file brings the generated one back.
  fs::remove(folder.path / "2.raw");
  ASSERT_EQ(run_tool(folder.path.string()), 0);
  EXPECT_TRUE(read_file(folder.path / "2.raw") == content_scene(2));
}

TEST(Generator, RewritesWhatItWroteBeforeButNotUnrecordedFiles) {
  temp_folder folder("record");
  // An older generator's output, recorded, and a file nobody recorded.
  const std::vector<uint8_t> older(307200, 5), unrecorded(307200, 6);
  write_file(folder.path / "4.raw", older);
  write_file(folder.path / "5.raw", unrecorded);
  std::ofstream(folder.path / ".quarvelin-content") << record_line("4.raw", older);
  ASSERT_EQ(run_tool(folder.path.string()), 0);
  EXPECT_TRUE(read_file(folder.path / "4.raw") == content_scene(4));
  EXPECT_TRUE(read_file(folder.path / "5.raw") == unrecorded);
  // Recorded as written, so a later generator may replace it in turn.
  const std::vector<uint8_t> record = read_file(folder.path / ".quarvelin-content");
  EXPECT_NE(std::string(record.begin(), record.end()).find(record_line("4.raw", content_scene(4))),
            std::string::npos);

  for (const auto &entry : fs::directory_iterator(folder.path))
    EXPECT_NE(entry.path().extension(), ".part") << "no partial file is left";
}
