// The release's Debian package as a user gets it: installed by apt on this
// machine, started from its desktop entry's Exec line in an empty folder on a
// private X server, then purged, leaving none of its files behind.
#include "show_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string PACKAGE = QUARVELIN_DEBIAN_PACKAGE;
const std::string APT = "DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 ";

std::string command_output(const std::string &line) {
  std::string text;
  if (FILE *pipe = popen(line.c_str(), "r")) {
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
  }
  return text;
}

// The Exec line's words, each without the quotes the entry may put around it.
std::vector<std::string> exec_line(const std::string &desktop_entry) {
  std::ifstream file(desktop_entry);
  std::vector<std::string> words;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("Exec=", 0) != 0) continue;
    std::istringstream rest(line.substr(5));
    for (std::string word; rest >> word;) {
      if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        word = word.substr(1, word.size() - 2);
      words.push_back(word);
    }
  }
  return words;
}

} // namespace

TEST(DebianPackage, InstalledByAptItRunsFromItsDesktopEntryAndPurgeRemovesEveryFile) {
  if (geteuid() != 0) GTEST_SKIP() << "installing a package needs root";
  if (!fs::is_regular_file(PACKAGE)) GTEST_SKIP() << PACKAGE << " is not made (scripts/release.sh)";
  ASSERT_EQ(run_shell(APT + "install '" + PACKAGE + "'"), 0);
  std::istringstream listed(command_output("dpkg-query -L quarvelin"));
  std::vector<fs::path> files;
  for (std::string line; std::getline(listed, line);)
    if (fs::is_regular_file(line)) files.push_back(line);
  EXPECT_GT(files.size(), 10u);

  const std::vector<std::string> command = exec_line("/usr/share/applications/quarvelin.desktop");
  ASSERT_FALSE(command.empty()) << "the desktop entry has no Exec line";
  const temp_folder empty{"empty"};
  const fs::path &empty_folder = empty.path;
  {
    const std::vector<std::vector<uint8_t>> scenes = load_scenes("/usr/share/games/quarvelin");
    xvfb_server server;
    x_connection x;
    show_process show;
    ASSERT_TRUE(server.start(640, 480, 24));
    ASSERT_TRUE(x.open(server.name(), 10));
    ASSERT_TRUE(show.start(empty_folder.string(),
                           {"DISPLAY=" + server.name(), "SDL_AUDIODRIVER=dummy"}, command));
    const scene_match best = watch_for_scene(x, scenes, 24, 30, 0.25);
    ASSERT_EQ(show.wait(0), -1) << "the show ended early: " << show.output();
    EXPECT_GT(best.score, 0.9) << "best scene " << best.scene;
    ASSERT_EQ(run_with_display(server.name(), "xdotool key Escape"), 0);
    EXPECT_EQ(show.wait(30), 0);
    EXPECT_EQ(show.output(), "");
  }
  EXPECT_TRUE(fs::is_empty(empty_folder)) << "the show wrote into the current folder";

  ASSERT_EQ(run_shell(APT + "purge quarvelin"), 0);
  for (const fs::path &file : files) EXPECT_FALSE(fs::exists(file)) << file << " is left";
  EXPECT_FALSE(fs::exists("/usr/share/games/quarvelin"));
  EXPECT_NE(run_shell("dpkg-query -W quarvelin"), 0) << "the package is still known to dpkg";
}
