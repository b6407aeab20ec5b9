// The Windows package as a user runs it, here under Wine on private Xvfb
// servers with SDL's audio written to a file: unpacked from its zip, each
// run in a Wine prefix of its own that is shut down afterwards.
#include "files/data_files.h"
#include "show_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// No session bus: where dbus-x11 is installed, Wine's libraries would
// autolaunch one (dbus-launch) that outlives the prefix.
const char *const WINE_SETTINGS[4] = {"WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=",
                                      "WINEARCH=win64",
                                      "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"};

// The build's zip, or the one QUARVELIN_WINDOWS_PACKAGE names (the release's).
std::string package_zip() {
  const char *chosen = std::getenv("QUARVELIN_WINDOWS_PACKAGE");
  return chosen != nullptr && chosen[0] != '\0' ? chosen : QUARVELIN_WINDOWS_PACKAGE;
}

// The zip unpacked the way a user would: one folder "quarvelin" inside.
struct unpacked_package {
  temp_folder scratch{"windows"};
  fs::path root = scratch.path;
  fs::path folder = root / "quarvelin";
  bool unpack() const {
    return run_shell("cd '" + root.string() + "' && '" QUARVELIN_CMAKE_COMMAND
                                      "' -E tar xf '" + package_zip() + "'") == 0;
  }
};

// The processes Wine runs for this prefix whose command line names `program`.
std::vector<int> wine_processes(const fs::path &prefix, const std::string &program = "") {
  std::vector<int> found;
  const std::string marker = std::string("WINEPREFIX=") + prefix.string() + '\0';
  for (const auto &entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::vector<uint8_t> environ = read_file(entry.path() / "environ");
    std::vector<uint8_t> command = read_file(entry.path() / "cmdline");
    std::string environment(1, '\0'), line(command.begin(), command.end());
    environment.append(environ.begin(), environ.end());
    if (environment.find('\0' + marker) != std::string::npos &&
        line.find(program) != std::string::npos)
      found.push_back(std::stoi(name));
  }
  return found;
}

// A Wine prefix of its own, created before the show starts and shut down
// (wineserver -k) and removed at the end.
struct wine_prefix {
  temp_folder scratch{"wine"};
  fs::path path = scratch.path;
  std::vector<std::string> environment() const {
    std::vector<std::string> settings(std::begin(WINE_SETTINGS), std::end(WINE_SETTINGS));
    settings.push_back("WINEPREFIX=" + path.string());
    return settings;
  }
  std::string shell_settings() const {
    std::string line;
    for (const std::string &setting : environment()) line += "'" + setting + "' ";
    return "env -u DISPLAY " + line;
  }
  // The prefix is set up without a display and that session shut down.
  bool create() const {
    if (run_shell(shell_settings() + "wineboot -i") != 0) return false;
    shut_down();
    return true;
  }
  // A session on the test's X server with Wine's own services already
  // running, their output going nowhere. Started by the show, they would
  // write into the show's output: Wine's device host can crash noisily when
  // a session ends a moment after it began.
  bool start_session(const std::string &display) const {
    const std::string settings = shell_settings() + "'DISPLAY=" + display + "' ";
    return run_shell(settings + "wineserver -p") == 0 &&
           run_shell(settings + "wineboot </dev/null") == 0;
  }
  // Ends every process of the prefix and waits for its wineserver to go.
  // A Wine process still starting when the server is killed (a service the
  // session launched) brings up a server of its own: then once more.
  void shut_down() const {
    for (int attempt = 0; attempt < 5; ++attempt) {
      run_shell(shell_settings() + "wineserver -k");
      run_shell(shell_settings() + "wineserver -w");
      if (wine_processes(path).empty()) return;
      sleep_seconds(1);
    }
  }
  ~wine_prefix() { shut_down(); } // then the folder goes
};

struct wine_show {
  xvfb_server server;
  x_connection x;
  wine_prefix prefix;
  show_process show;
  std::string audio_path;

  bool start(int depth, const fs::path &folder) {
    if (!prefix.create()) return false;
    char name[] = "/tmp/quarvelin-audio-XXXXXX";
    int file = mkstemp(name);
    if (file >= 0) close(file);
    audio_path = name;
    if (!server.start(640, 480, depth)) return false;
    if (!x.open(server.name(), 10)) return false;
    if (!prefix.start_session(server.name())) return false;
    std::vector<std::string> environment = prefix.environment();
    environment.insert(environment.end(), {"DISPLAY=" + server.name(), "SDL_AUDIODRIVER=disk",
                                           "SDL_DISKAUDIOFILE=" + audio_path});
    return show.start(folder.string(), environment,
                      std::vector<std::string>{"wine", "quarvelin.exe"});
  }
  x_window wait_for_window(double seconds) const {
    for (double deadline = now_seconds() + seconds; now_seconds() < deadline; sleep_seconds(0.2))
      if (x_window window = x.find_window("QUARVELIN")) return window;
    return 0;
  }
  ~wine_show() {
    if (!audio_path.empty()) unlink(audio_path.c_str());
  }
};

class WineShowOnScreen : public ::testing::TestWithParam<int> {};

} // namespace

TEST(WinePackage, HoldsTheProgramAndTheSameDataFilesAsTheLinuxBuild) {
  // The Windows build's files come from its own generator, run under Wine.
  unpacked_package package;
  ASSERT_TRUE(package.unpack());
  EXPECT_TRUE(fs::is_regular_file(package.folder / "quarvelin.exe"));
  size_t entries = 0;
  for ([[maybe_unused]] const auto &entry : fs::directory_iterator(package.folder)) ++entries;
  EXPECT_EQ(entries, 11u) << "the program and ten data files, nothing else";
  for (const data_file &file : DATA_FILES) {
    const char *name = file.name;
    std::vector<uint8_t> windows = read_file((package.folder / name).string());
    EXPECT_FALSE(windows.empty()) << name;
    EXPECT_TRUE(windows == read_file(std::string(QUARVELIN_SHOW_DIR) + "/" + name)) << name;
  }
}

TEST_P(WineShowOnScreen, ShowsASceneWithItsIconAndPlaysSoundThenEscapeEndsIt) {
  const int depth = GetParam();
  unpacked_package package;
  ASSERT_TRUE(package.unpack());
  std::vector<std::vector<uint8_t>> scenes = load_scenes(package.folder.string());
  wine_show run;
  ASSERT_TRUE(run.start(depth, package.folder));
  ASSERT_NE(run.wait_for_window(60), 0u) << run.show.output();

  // Wine takes a while to show the first frames; the show's own scenes
  // then follow the song.
  const scene_match best = watch_for_scene(run.x, scenes, depth, 60, 0.25);
  ASSERT_EQ(run.show.wait(0), -1) << "the show ended early: " << run.show.output();
  EXPECT_GT(best.score, 0.9) << "best scene " << best.scene;
  EXPECT_EQ(run_with_display(run.server.name(),
                             "xprop -name QUARVELIN _NET_WM_ICON | grep -q 'Icon (32 x 32)'"),
            0)
      << "the window carries no 32 x 32 icon";
  EXPECT_GT(audio_rms(run.audio_path), 100.0) << "the recorded sound is silent";

  ASSERT_EQ(run_with_display(run.server.name(), "xdotool key Escape"), 0);
  EXPECT_EQ(run.show.wait(30), 0);
  EXPECT_EQ(run.show.output(), "");
  EXPECT_EQ(run.x.find_window("QUARVELIN"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Depth, WineShowOnScreen, ::testing::Values(24, 16),
                         [](const auto &parameter) {
                           return "Depth" + std::to_string(parameter.param);
                         });

TEST(WineShowEnding, ACloseRequestEndsItWithZero) {
  unpacked_package package;
  ASSERT_TRUE(package.unpack());
  wine_show run;
  ASSERT_TRUE(run.start(24, package.folder));
  x_window window = run.wait_for_window(60);
  ASSERT_NE(window, 0u) << run.show.output();
  EXPECT_FALSE(wine_processes(run.prefix.path, "quarvelin.exe").empty());
  sleep_seconds(1);
  run.x.request_close(window);
  EXPECT_EQ(run.show.wait(30), 0);
  EXPECT_EQ(run.show.output(), "");
  EXPECT_EQ(run.x.find_window("QUARVELIN"), 0u);
}

TEST(WineShowFailures, AMissingSongEndsWithOneLeavingNoWindowOrProcess) {
  unpacked_package package;
  ASSERT_TRUE(package.unpack());
  fs::remove(package.folder / "RETRO.XM");
  wine_show run;
  ASSERT_TRUE(run.start(24, package.folder));
  EXPECT_EQ(run.show.wait(60), 1);
  EXPECT_EQ(run.show.output(), "");
  EXPECT_EQ(run.x.find_window("QUARVELIN"), 0u);
  EXPECT_TRUE(wine_processes(run.prefix.path, "quarvelin.exe").empty());
  run.prefix.shut_down();
  EXPECT_TRUE(wine_processes(run.prefix.path).empty()) << "Wine's own processes outlive the prefix";
}
