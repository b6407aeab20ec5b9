// Which folder the show takes its files from, started from anywhere.
#include "show/show.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::set<std::string> existing;
std::set<std::string> asked;

int holds_file(const char *path) {
  asked.insert(path);
  return existing.count(path) != 0;
}

std::string choose(const char *program_folder) {
  asked.clear();
  return show_choose_folder(program_folder, "../share/quarvelin/", holds_file);
}

} // namespace

TEST(ShowFolder, CurrentFolderFirstThenTheProgramsThenTheInstalledDataElseTheCurrentOne) {
  existing = {"RETRO.XM", "/opt/q/bin/RETRO.XM", "/opt/q/bin/../share/quarvelin/RETRO.XM"};
  EXPECT_EQ(choose("/opt/q/bin/"), "");
  EXPECT_EQ(asked, std::set<std::string>{"RETRO.XM"}) << "nothing else is looked at";

  existing.erase("RETRO.XM");
  EXPECT_EQ(choose("/opt/q/bin/"), "/opt/q/bin/");

  existing.erase("/opt/q/bin/RETRO.XM");
  EXPECT_EQ(choose("/opt/q/bin/"), "/opt/q/bin/../share/quarvelin/");

  // Nowhere: the current folder, whose missing song then ends the show with 1.
  existing.clear();
  EXPECT_EQ(choose("/opt/q/bin/"), "");
  EXPECT_EQ(asked.size(), 3u);

  // An unknown program folder, or one too long for a path: the current folder.
  existing = {"/x/RETRO.XM"};
  EXPECT_EQ(choose(nullptr), "");
  EXPECT_EQ(choose(""), "");
  EXPECT_EQ(asked, std::set<std::string>{"RETRO.XM"}) << "no folder is guessed from an unknown place";

  const std::string deep = "/" + std::string(5000, 'd') + "/";
  existing = {deep + "RETRO.XM"};
  EXPECT_EQ(choose(deep.c_str()), "") << "a path that does not fit is not cut short";
}
