// quarvelin-cues: prints a song's cue timeline, the times at which each
// instrument's notes trigger, as the show's sound layer plays them, so a user
// can tell whether a song will drive the show before using it.
//
//   quarvelin-cues SONG.XM [SECONDS] [--each]
//
// Without SECONDS the timeline covers one pass of the song, up to where it
// loops. --each also lists every cue with its order, row, tick and channel.
// A refused song gets one line saying why, and exit status 1.
#include "files/data_files.h"
#include "music/music.h"
#include "music/sound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int32_t RATE = 32000;
// Longest timeline asked for: the layer's own limit for one pass.
constexpr double MAX_SECONDS = 3600;
constexpr size_t LINE_WIDTH = 78;

const char USAGE[] = "usage: quarvelin-cues SONG.XM [SECONDS] [--each]\n"
                     "Prints when each instrument's notes trigger, as the show plays the song:\n"
                     "one pass of the song, or SECONDS (up to 3600) from its start.\n"
                     "  --each   also list every cue with its order, row, tick and channel\n"
                     "  --help   this text\n"
                     "  --version  the program's name and version\n"
                     "The show cues on instrument 3 (next scene), 4 (logo) and 6 (credits).\n";

std::string seconds(int64_t frame) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", double(frame) / RATE);
  return text;
}

int usage() {
  std::fputs(USAGE, stderr);
  return 2;
}

const char *role(int32_t instrument) {
  switch (instrument) {
  case CUE_INSTRUMENT_NEXT_SCENE: return "next scene";
  case CUE_INSTRUMENT_LOGO: return "logo";
  case CUE_INSTRUMENT_CREDITS: return "credits";
  default: return nullptr;
  }
}

const char *refusal_reason(int32_t verdict) {
  switch (verdict) {
  case SOUND_SONG_NOT_XM: return "not an extended module (.xm)";
  case SOUND_SONG_TOO_LARGE: return data_file_refusal(DATA_FILE_TOO_LARGE);
  case SOUND_SONG_CUT_OFF: return "cut off before the end of its patterns";
  case SOUND_SONG_NOTHING_TO_PLAY:
    return "nothing to play (no sample holds sound, or no order plays)";
  case SOUND_SONG_TOO_MANY_CHANNELS: return "more channels than the show opens";
  default: return "refused by the player (libxmp)";
  }
}

// `head` then the times, wrapped to the line width with an indent.
void print_wrapped(const char *head, const std::vector<int64_t> &frames) {
  std::fputs(head, stdout);
  size_t column = std::strlen(head);
  for (int64_t frame : frames) {
    const std::string time = seconds(frame);
    if (column + 1 + time.size() > LINE_WIDTH) {
      std::fputs("\n   ", stdout);
      column = 3;
    }
    std::printf(" %s", time.c_str());
    column += 1 + time.size();
  }
  std::fputs("\n", stdout);
}

// The whole file, read as the show reads it. Empty with the reason in `*why`
// when refused.
std::vector<uint8_t> read_song(const std::string &path, std::string *why) {
  uint8_t *data = nullptr;
  int64_t size = 0;
  const int32_t verdict = data_file_read(path.c_str(), &data, &size);
  if (verdict != DATA_FILE_READ) *why = data_file_refusal(verdict);
  std::vector<uint8_t> bytes(data, data + size);
  std::free(data);
  return bytes;
}

} // namespace

int main(int argc, char **argv) {
  std::string path;
  double length_seconds = 0;
  bool each = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::puts("quarvelin-cues " QUARVELIN_VERSION);
      return 0;
    }
    if (argument == "--each") {
      each = true;
    } else if (path.empty()) {
      path = argument;
    } else {
      char *end = nullptr;
      length_seconds = std::strtod(argv[i], &end);
      // Also refuses NaN, infinities and lengths whose frame count overflows.
      if (*end != '\0' || !(length_seconds > 0 && length_seconds <= MAX_SECONDS)) return usage();
    }
  }
  if (path.empty()) return usage();

  std::string why;
  const std::vector<uint8_t> bytes = read_song(path, &why);
  const int32_t verdict =
      why.empty() ? sound_check_song(bytes.data(), int64_t(bytes.size())) : SOUND_SONG_PLAYS;
  if (!why.empty() || verdict != SOUND_SONG_PLAYS) {
    std::fprintf(stderr, "quarvelin-cues: %s: %s\n", path.c_str(),
                 why.empty() ? refusal_reason(verdict) : why.c_str());
    return 1;
  }
  const int64_t length = int64_t(length_seconds * RATE);
  int32_t count = 0;
  int64_t rendered =
      sound_render(bytes.data(), int64_t(bytes.size()), RATE, length, nullptr, nullptr, 0, &count);
  std::vector<sound_cue> cues(static_cast<size_t>(count));
  if (rendered >= 0)
    rendered = sound_render(bytes.data(), int64_t(bytes.size()), RATE, length, nullptr, cues.data(),
                            count, &count);
  if (rendered < 0) {
    std::fprintf(stderr, "quarvelin-cues: %s: %s\n", path.c_str(),
                 refusal_reason(SOUND_SONG_REFUSED_BY_PLAYER));
    return 1;
  }

  std::printf("%s: %s s (%s), %d cues\n", path.c_str(), seconds(rendered).c_str(),
              length > 0 ? "as asked" : "one pass", count);
  std::map<int32_t, std::vector<int64_t>> by_instrument;
  for (const sound_cue &cue : cues) by_instrument[cue.instrument].push_back(cue.sample);
  // The show's three cue instruments first, named, even when they never play.
  char head[64];
  for (int32_t instrument :
       {CUE_INSTRUMENT_NEXT_SCENE, CUE_INSTRUMENT_LOGO, CUE_INSTRUMENT_CREDITS}) {
    const std::vector<int64_t> &frames = by_instrument[instrument];
    std::snprintf(head, sizeof head, "instrument %d (%s, %zu):%s", instrument, role(instrument),
                  frames.size(), frames.empty() ? " never" : "");
    print_wrapped(head, frames);
  }
  for (const auto &[instrument, frames] : by_instrument) {
    if (role(instrument) != nullptr || frames.empty()) continue;
    std::snprintf(head, sizeof head, "instrument %d (%zu):", instrument, frames.size());
    print_wrapped(head, frames);
  }
  if (each)
    for (const sound_cue &cue : cues)
      std::printf("%s s  instrument %d  order %d  pattern %d  row %d  tick %d  channel %d\n",
                  seconds(cue.sample).c_str(), cue.instrument, cue.order, cue.pattern, cue.row,
                  cue.tick, cue.channel);
  return 0;
}
