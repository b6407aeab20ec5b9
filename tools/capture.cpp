// quarvelin-capture: records the show into a video file, frame by frame, as
// fast as the machine can compose and encode.
//
// The show composes 60 frames a second at any frame rate, as on a screen of
// any refresh: each frame is composed by the show's own frame routine at the
// song time the live clock would give it (whole milliseconds), after the cues
// heard by then, and written for every output frame it is on screen at
// (none, below 60 frames a second, for some);
// the cues and the sound track come from the sound layer's offline rendering
// of the same song. Nothing depends on the wall clock, so the same arguments
// give the same file.
#include "compose/compose.h"
#include "files/data_files.h"
#include "music/music.h"
#include "show/show.h"
#include "tools/capture_encode.h"
#include "tools/capture_song.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double MAX_SECONDS = 3600; // the sound track is rendered whole, 128 KB a second
constexpr int32_t MAX_FPS = 240;
constexpr int32_t MAX_WIDTH = 7680;
constexpr int32_t MAX_HEIGHT = 4320;

const char USAGE[] =
    "usage: quarvelin-capture OUTPUT [--seconds N] [--fps F] [--size WxH] [--lossless]\n"
    "                         [--gentle]\n"
    "\n"
    "Records the show into the video file OUTPUT, faster than real time. It reads the\n"
    "show's pictures and RETRO.XM from the current folder when it holds RETRO.XM,\n"
    "else from its own folder (build/show), as the show does.\n"
    "\n"
    "  --seconds N   length in seconds (decimals allowed, up to 3600); default: one\n"
    "                pass of the song, up to where it starts again\n"
    "  --fps F       frames per second of the file, 1 to 240; default 60. The show\n"
    "                composes 60 a second whatever F: at 120 each is written\n"
    "                twice, at 144 two or three times\n"
    "  --size WxH    picture size, at least 640x480; the show's 640 x 480 frame is\n"
    "                scaled by the largest whole number that fits, nearest pixel,\n"
    "                centred on black; default 640x480\n"
    "  --lossless    FFV1 video (RGB) and FLAC sound in Matroska, instead of the\n"
    "                default H.264 video and AAC sound in MP4\n"
    "  --gentle      the show as `quarvelin --gentle` shows it: fewer flashes\n"
    "  --help        this text\n"
    "  --version     the program's name and version\n"
    "\n"
    "The same arguments give the same file, byte for byte. OUTPUT appears only when\n"
    "it is complete. Exit status 0 on success, 1 on any error.\n";

struct options {
  std::string output;
  double seconds = 0; // 0: one pass of the song
  int32_t fps = FRAMES_PER_SECOND;
  int32_t width = FRAME_WIDTH;
  int32_t height = FRAME_HEIGHT;
  bool lossless = false;
  bool gentle = false;
  bool help = false;
  bool version = false;
};

bool parse_number(const char *text, double low, double high, double *value) {
  char *end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && *value >= low && *value <= high;
}

bool parse_whole(const char *text, int32_t low, int32_t high, int32_t *value) {
  char *end = nullptr;
  long number = std::strtol(text, &end, 10);
  *value = int32_t(number);
  return end != text && *end == '\0' && number >= low && number <= high;
}

bool parse_size(const std::string &text, options *out) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  return parse_whole(text.substr(0, x).c_str(), FRAME_WIDTH, MAX_WIDTH, &out->width) &&
         parse_whole(text.substr(x + 1).c_str(), FRAME_HEIGHT, MAX_HEIGHT, &out->height);
}

bool parse_arguments(int argc, char **argv, options *out, std::string *error) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool takes_value = argument == "--seconds" || argument == "--fps" || argument == "--size";
    if (takes_value && value == nullptr) {
      *error = argument + " needs a value";
      return false;
    }
    if (argument == "--help" || argument == "-h") {
      out->help = true;
      return true;
    } else if (argument == "--version") {
      out->version = true;
      return true;
    } else if (argument == "--lossless") {
      out->lossless = true;
    } else if (argument == "--gentle") {
      out->gentle = true;
    } else if (argument == "--seconds") {
      if (!parse_number(value, 0.001, MAX_SECONDS, &out->seconds)) {
        *error = "--seconds wants a number of seconds above 0, up to 3600";
        return false;
      }
    } else if (argument == "--fps") {
      if (!parse_whole(value, 1, MAX_FPS, &out->fps)) {
        *error = "--fps wants a whole number from 1 to 240";
        return false;
      }
    } else if (argument == "--size") {
      if (!parse_size(value, out)) {
        *error = "--size wants WIDTHxHEIGHT, from 640x480 to 7680x4320";
        return false;
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      *error = "unknown option " + argument + " (see --help)";
      return false;
    } else if (out->output.empty()) {
      out->output = argument;
    } else {
      *error = "only one OUTPUT file, please (see --help)";
      return false;
    }
    if (takes_value) ++i;
  }
  if (out->output.empty()) {
    *error = "no OUTPUT file given (see --help)";
    return false;
  }
  if (!out->lossless && (out->width % 2 != 0 || out->height % 2 != 0)) {
    *error = "H.264 needs an even width and height";
    return false;
  }
  return true;
}

// The signal may land on any thread, an encoder's included, so the flag is a
// lock-free atomic (safe in a handler) rather than a volatile sig_atomic_t,
// which only a handler on the reading thread may set. Relaxed: it guards no data.
std::atomic<int> stop_requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

void on_stop_signal(int) { stop_requested.store(1, std::memory_order_relaxed); }

// One line on a terminal: frames, percent, speed against real time, time left.
struct progress {
  bool shown = false;
  std::chrono::steady_clock::time_point start, last;
};

void show_progress(progress *bar, int64_t done, int64_t total, int32_t fps) {
  if (!bar->shown) return;
  auto now = std::chrono::steady_clock::now();
  if (done < total && now - bar->last < std::chrono::milliseconds(200)) return;
  bar->last = now;
  double elapsed = std::chrono::duration<double>(now - bar->start).count();
  double speed = elapsed > 0 ? double(done) / fps / elapsed : 0;
  int64_t left = done > 0 ? int64_t(elapsed * double(total - done) / double(done) + 0.5) : 0;
  constexpr int32_t WIDTH = 30;
  char filled[WIDTH + 1];
  int32_t marks = int32_t(WIDTH * done / total);
  for (int32_t i = 0; i < WIDTH; ++i) filled[i] = i < marks ? '#' : '-';
  filled[WIDTH] = '\0';
  std::fprintf(stderr, "\r[%s] %lld/%lld frames %3d%%  %.1fx real time  %lld:%02lld left ", filled,
               static_cast<long long>(done), static_cast<long long>(total), int(100 * done / total),
               speed, static_cast<long long>(left / 60), static_cast<long long>(left % 60));
  if (done == total) std::fprintf(stderr, "\n");
}

// Composes and encodes every frame with its share of the sound.
bool capture(const options &args, const song_rendering &song, capture_encoder *encoder,
             std::string *error) {
  const int64_t rate = MUSIC_MIXING_RATE;
  const int64_t total = (song.frames * args.fps + rate - 1) / rate;
  progress bar;
  bar.shown = isatty(STDERR_FILENO) != 0;
  bar.start = bar.last = std::chrono::steady_clock::now();

  clear_frame(frame_buffer);
  size_t next_cue = 0;
  int64_t sound_sent = 0;
  int64_t composed = 0; // show frames composed so far
  for (int64_t k = 0; k < total; ++k) {
    if (stop_requested.load(std::memory_order_relaxed)) {
      *error = "interrupted";
      return false;
    }
    capture_compose_frame(song, k, args.fps, &next_cue, &composed);
    if (!capture_encode_video(encoder, show_frame_shown(), error)) return false;
    const int64_t sound_end = std::min(song.frames, (k + 1) * rate / args.fps);
    if (!capture_encode_audio(encoder, song.samples.data() + 2 * sound_sent, sound_end - sound_sent,
                              error))
      return false;
    sound_sent = sound_end;
    show_progress(&bar, k + 1, total, args.fps);
  }
  return capture_encode_audio(encoder, song.samples.data() + 2 * sound_sent,
                              song.frames - sound_sent, error) &&
         capture_encode_finish(encoder, error);
}

bool holds_regular_file(const char *path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// Moves to the show's files as the show does: the current folder when it holds
// the song, else this program's own folder. `output` keeps naming the same file.
bool enter_show_folder(std::string *output, std::string *error) {
  std::error_code failure;
  std::filesystem::path absolute = std::filesystem::absolute(*output, failure);
  if (failure) {
    *error = "cannot tell where " + *output + " is";
    return false;
  }
  *output = absolute.string();
  char *program_folder = SDL_GetBasePath();
  const char *folder = show_choose_folder(
      program_folder, nullptr, [](const char *path) { return holds_regular_file(path) ? 1 : 0; });
  const bool moved = folder[0] == '\0' || chdir(folder) == 0;
  if (!moved) *error = std::string("cannot enter ") + folder;
  SDL_free(program_folder);
  return moved;
}

// A new empty file beside `output`, readable as an ordinary new file would be.
bool make_temporary(const std::string &output, std::string *path, std::string *error) {
  std::vector<char> name(output.begin(), output.end());
  const char suffix[] = ".partial-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);
  int descriptor = mkstemp(name.data());
  if (descriptor < 0) {
    *error = "cannot write " + output + ": " + std::strerror(errno);
    return false;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
  close(descriptor);
  *path = name.data();
  return true;
}

} // namespace

int main(int argc, char **argv) {
  // A stop request ends the capture between frames, so the partial file is removed.
  std::signal(SIGINT, on_stop_signal);
  std::signal(SIGTERM, on_stop_signal);
  std::signal(SIGHUP, on_stop_signal);
  options args;
  std::string error;
  if (!parse_arguments(argc, argv, &args, &error)) {
    std::fprintf(stderr, "quarvelin-capture: %s\n", error.c_str());
    return 1;
  }
  if (args.help) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (args.version) {
    std::puts("quarvelin-capture " QUARVELIN_VERSION);
    return 0;
  }
  song_rendering song;
  if (!enter_show_folder(&args.output, &error) || !render_song(args.seconds, "quarvelin-capture", &song, &error)) {
    std::fprintf(stderr, "quarvelin-capture: %s\n", error.c_str());
    return 1;
  }
  if (!show_load_pictures()) {
    std::fprintf(stderr, "quarvelin-capture: out of memory\n");
    return 1;
  }
  show_set_gentle(args.gentle ? 1 : 0);
  std::string temporary;
  if (!make_temporary(args.output, &temporary, &error)) {
    std::fprintf(stderr, "quarvelin-capture: %s\n", error.c_str());
    return 1;
  }
  capture_format format{args.width, args.height, args.fps, MUSIC_MIXING_RATE, args.lossless};
  capture_encoder *encoder = capture_encode_open(temporary.c_str(), format, &error);
  bool done = encoder != nullptr && capture(args, song, encoder, &error);
  capture_encode_close(encoder);
  if (done && std::rename(temporary.c_str(), args.output.c_str()) != 0) {
    error = "cannot write " + args.output + ": " + std::strerror(errno);
    done = false;
  }
  if (!done) {
    std::remove(temporary.c_str());
    // On a terminal the message replaces the progress line.
    std::fprintf(stderr, "%squarvelin-capture: %s\n", isatty(STDERR_FILENO) ? "\r\033[K" : "",
                 error.c_str());
    return 1;
  }
  return 0;
}
