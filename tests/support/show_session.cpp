#include "show_session.h"

#include "show/show.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void sleep_seconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

static pid_t spawn(const std::vector<std::string> &arguments, const std::string &folder,
                   const std::vector<std::string> &environment, const std::string &output_path) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
  for (const std::string &setting : environment) putenv(strdup(setting.c_str()));
  int output = open(output_path.empty() ? "/dev/null" : output_path.c_str(),
                    O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int input = open("/dev/null", O_RDONLY);
  dup2(input, 0);
  dup2(output, 1);
  dup2(output, 2);
  std::vector<char *> argv;
  for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

static int wait_for(pid_t pid, double seconds) {
  double deadline = now_seconds() + seconds;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (now_seconds() > deadline) return -1;
    sleep_seconds(0.01);
  }
}

std::string xvfb_server::name() const {
  std::string result = ":";
  result += std::to_string(number);
  return result;
}

// Started by tests/support/xvfb.sh, as the shell checks start theirs, in a shell
// that stays the server's parent: it writes the display number to the pipe
// once the server takes connections, and ends the server on SIGTERM.
bool xvfb_server::start(int width, int height, int depth) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  fcntl(ends[1], F_SETFD, 0); // the shell inherits the writing end
  std::ostringstream screen;
  screen << width << 'x' << height << 'x' << depth;
  const char *run = R"(source "$0" && work=$(mktemp -d) &&
    trap 'stop_xvfb; rm -rf "$work"; exit 0' TERM && start_xvfb "$1" &&
    echo "${DISPLAY#:}" >&"$2" && wait "$xvfb_pid")";
  pid = spawn({"bash", "-c", run, QUARVELIN_XVFB_SCRIPT, screen.str(), std::to_string(ends[1])}, "", {},
              "");
  close(ends[1]);
  std::string digits;
  pollfd ready{ends[0], POLLIN, 0};
  bool started = false;
  for (double deadline = now_seconds() + 20; !started && now_seconds() < deadline;) {
    if (poll(&ready, 1, 100) <= 0) continue;
    char c = 0;
    if (read(ends[0], &c, 1) != 1) break; // the shell ended: no server
    if (c == '\n') started = !digits.empty();
    else digits += c;
  }
  close(ends[0]);
  if (started) number = std::stoi(digits);
  return started;
}

xvfb_server::~xvfb_server() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    wait_for(pid, 5);
  }
}

bool show_process::start(const std::string &folder, const std::vector<std::string> &environment,
                         const std::string &program) {
  return start(folder, environment, std::vector<std::string>{program});
}

bool show_process::start(const std::string &folder, const std::vector<std::string> &environment,
                         const std::vector<std::string> &command) {
  char name[] = "/tmp/quarvelin-output-XXXXXX";
  int file = mkstemp(name);
  if (file >= 0) close(file);
  output_path = name;
  pid = spawn(command, folder, environment, output_path);
  return pid > 0;
}

int show_process::wait(double seconds) {
  int status = wait_for(pid, seconds);
  if (status != -1) pid = -1;
  return status;
}

std::string show_process::output() const {
  std::vector<uint8_t> bytes = read_file(output_path);
  return std::string(bytes.begin(), bytes.end());
}

double show_process::cpu_seconds() const {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(file, line);
  // Fields after the command name, which is in parentheses: utime is the 14th field overall.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14 || index == 15) ticks += std::stod(field);
    if (index == 15) break;
  }
  return ticks / double(sysconf(_SC_CLK_TCK));
}

show_process::~show_process() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    wait_for(pid, 5);
  }
  if (!output_path.empty()) unlink(output_path.c_str());
}

bool x_connection::open(const std::string &name, double seconds) {
  for (double deadline = now_seconds() + seconds; now_seconds() < deadline; sleep_seconds(0.05))
    if ((display = XOpenDisplay(name.c_str()))) return true;
  return false;
}

screen_image x_connection::grab() const {
  screen_image image;
  Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  XImage *x_image = XGetImage(display, root, 0, 0, unsigned(attributes.width),
                              unsigned(attributes.height), AllPlanes, ZPixmap);
  image.width = attributes.width;
  image.height = attributes.height;
  image.pixels.resize(size_t(image.width) * size_t(image.height));
  // Expands each channel to 8 bits by its mask, whatever the screen's depth.
  auto channel = [](unsigned long pixel, unsigned long mask) -> uint32_t {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    unsigned long bits = mask >> shift;
    uint32_t value = uint32_t((pixel & mask) >> shift);
    int width = 0;
    while (bits >> width) ++width;
    return width >= 8 ? value >> (width - 8) : value << (8 - width);
  };
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      unsigned long pixel = XGetPixel(x_image, x, y);
      image.pixels[size_t(y * image.width + x)] = channel(pixel, x_image->red_mask) << 16 |
                                                  channel(pixel, x_image->green_mask) << 8 |
                                                  channel(pixel, x_image->blue_mask);
    }
  XDestroyImage(x_image);
  return image;
}

x_window x_connection::find_window(const std::string &title) const {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      char *name = nullptr;
      if (XFetchName(display, children[i], &name) && name) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
    XFree(children);
  }
  return found;
}

void x_connection::request_close(x_window window) const {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
}

x_window x_connection::create_window() const {
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 8, 8, 0, 0, 0);
  XMapRaised(display, window);
  XSync(display, False);
  return window;
}

void x_connection::focus(x_window window) const {
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
}

x_connection::~x_connection() {
  if (display) XCloseDisplay(display);
}

const char *scene_file(int scene) { return DATA_FILES[PICTURE_FILE_FOR_CODE[scene + 1]].name; }

std::vector<std::vector<uint8_t>> load_scenes(const std::string &folder) {
  std::vector<std::vector<uint8_t>> scenes;
  for (int scene = 0; scene < SCENE_COUNT; ++scene)
    scenes.push_back(read_file(folder + "/" + scene_file(scene)));
  return scenes;
}

scene_match classify(const screen_image &image, const std::vector<std::vector<uint8_t>> &scenes,
                     int tolerance) {
  constexpr size_t PIXELS = 640 * 480;
  scene_match best;
  if (image.pixels.size() < PIXELS) return best;
  for (size_t s = 0; s < scenes.size(); ++s) {
    if (scenes[s].size() < PIXELS) continue;
    size_t drawn = 0, matching = 0;
    for (size_t p = 0; p < PIXELS; p += 7) {
      uint8_t gray = scenes[s][p];
      if (gray == 0) continue;
      ++drawn;
      int difference = std::abs(int(image.pixels[p] & 0xFF) - gray);
      if (std::min(difference, 256 - difference) <= tolerance) ++matching;
    }
    double score = drawn ? double(matching) / double(drawn) : 0;
    if (score > best.score) best = {int(s), score};
  }
  return best;
}

scene_match watch_for_scene(const x_connection &x, const std::vector<std::vector<uint8_t>> &scenes,
                            int depth, double seconds, double interval) {
  const int tolerance = depth == 16 ? 16 + 8 : 16;
  scene_match best;
  for (double deadline = now_seconds() + seconds; best.score <= 0.9 && now_seconds() < deadline;
       sleep_seconds(interval)) {
    const scene_match match = classify(x.grab(), scenes, tolerance);
    if (match.score > best.score) best = match;
  }
  return best;
}

double audio_rms(const std::string &path) {
  std::vector<uint8_t> bytes = read_file(path);
  double sum = 0;
  size_t count = bytes.size() / 2;
  for (size_t i = 0; i < count; ++i) {
    int16_t sample = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    sum += double(sample) * sample;
  }
  return count ? std::sqrt(sum / double(count)) : 0;
}

int run_shell(const std::string &line) {
  int status = std::system((line + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run_with_display(const std::string &display, const std::string &command) {
  return run_shell("DISPLAY=" + display + " " + command);
}
