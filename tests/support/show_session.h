// Test support for running the real show: a private Xvfb server, the show as
// a child process in its ready-to-run folder, screen grabs and X requests.
#pragma once

#include "tests/support/test_files.h"

#include <cstdint>
#include <string>
#include <vector>

// An Xvfb server of its own on display :number, width x height x depth.
struct xvfb_server {
  int number = 0;
  pid_t pid = -1;
  bool start(int width, int height, int depth);
  std::string name() const;
  ~xvfb_server();
};

// The show, started from a folder with the given environment additions.
struct show_process {
  pid_t pid = -1;
  std::string output_path; // stdout and stderr together
  bool start(const std::string &folder, const std::vector<std::string> &environment,
             const std::string &program);
  // The same with a whole command line (a launcher and its arguments).
  bool start(const std::string &folder, const std::vector<std::string> &environment,
             const std::vector<std::string> &command);
  // Waits up to `seconds`; the exit status, -1 on timeout, 128 + n for signal n.
  int wait(double seconds);
  std::string output() const;
  double cpu_seconds() const; // user + system time so far
  ~show_process();
};

// The whole root window as 0x00RRGGBB pixels.
struct screen_image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

typedef struct _XDisplay x_display; // Xlib's Display, kept out of the tests' namespace
typedef unsigned long x_window;

struct x_connection {
  x_display *display = nullptr;
  bool open(const std::string &name, double seconds);
  screen_image grab() const;
  // The top-level window with this title, or 0.
  x_window find_window(const std::string &title) const;
  // A close request from the window manager's close button (WM_DELETE_WINDOW).
  void request_close(x_window window) const;
  // A small mapped window of the test's own, to take the focus away.
  x_window create_window() const;
  void focus(x_window window) const;
  ~x_connection();
};

// The show's scene pictures, in the order the song brings them, read from
// its folder; and which of them a 640 x 480 screen shows: the scene whose
// drawn (nonzero) pixels best match the screen's blue channel, which
// carries the gray level through the tint, give or take `tolerance` (this
// frame's noise, 16-bit truncation).
const char *scene_file(int scene); // the show's table (show/show.h), scene 0 first
std::vector<std::vector<uint8_t>> load_scenes(const std::string &folder);
struct scene_match {
  int scene = -1;
  double score = 0; // the share of drawn pixels that match
};
scene_match classify(const screen_image &image, const std::vector<std::vector<uint8_t>> &scenes,
                     int tolerance);
// Grabs the screen every `interval` seconds until it shows one of `scenes`
// (a score above 0.9) or `seconds` pass; the best match seen. The tolerance
// follows the screen's depth (16-bit colour also truncates the gray level).
scene_match watch_for_scene(const x_connection &x, const std::vector<std::vector<uint8_t>> &scenes,
                            int depth, double seconds, double interval);
// The root mean square of 16-bit little-endian samples in a file.
double audio_rms(const std::string &path);

// Runs a shell command line, its output discarded; its exit status.
int run_shell(const std::string &line);
// Runs a command with DISPLAY set; its exit status.
int run_with_display(const std::string &display, const std::string &command);

double now_seconds();
void sleep_seconds(double seconds);
