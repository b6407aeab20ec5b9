// quarvelin-cues: prints a song's cue timeline, the times at which each
// instrument's notes trigger, as the show's sound layer plays them.
//
//   quarvelin-cues SONG.XM [SECONDS] [--each]
//
// Without SECONDS the timeline covers one pass of the song, up to where it
// loops. --each also lists every cue with its order, row, tick and channel.
#include "music/sound.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int32_t RATE = 32000;

std::string seconds(int64_t frame) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", double(frame) / RATE);
  return text;
}

int usage() {
  std::fprintf(stderr, "usage: quarvelin-cues SONG.XM [SECONDS] [--each]\n");
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  std::string path;
  double length_seconds = 0;
  bool each = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--each") {
      each = true;
    } else if (path.empty()) {
      path = argument;
    } else {
      char *end = nullptr;
      length_seconds = std::strtod(argv[i], &end);
      if (*end != '\0' || length_seconds <= 0) return usage();
    }
  }
  if (path.empty()) return usage();

  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "quarvelin-cues: cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const int64_t length = int64_t(length_seconds * RATE);
  int32_t count = 0;
  int64_t rendered = sound_render(bytes.data(), int64_t(bytes.size()), RATE, length, nullptr,
                                  nullptr, 0, &count);
  if (rendered < 0) {
    std::fprintf(stderr, "quarvelin-cues: %s is not a complete extended module\n", path.c_str());
    return 1;
  }
  std::vector<sound_cue> cues(static_cast<size_t>(count));
  sound_render(bytes.data(), int64_t(bytes.size()), RATE, length, nullptr, cues.data(), count,
               &count);

  std::printf("%s: %s s (%s), %d cues\n", path.c_str(), seconds(rendered).c_str(),
              length > 0 ? "as asked" : "one pass", count);
  std::map<int32_t, std::vector<int64_t>> by_instrument;
  for (const sound_cue &cue : cues) by_instrument[cue.instrument].push_back(cue.sample);
  for (const auto &[instrument, frames] : by_instrument) {
    std::printf("instrument %d (%zu):", instrument, frames.size());
    for (int64_t frame : frames) std::printf(" %s", seconds(frame).c_str());
    std::printf("\n");
  }
  if (each)
    for (const sound_cue &cue : cues)
      std::printf("%s s  instrument %d  order %d  pattern %d  row %d  tick %d  channel %d\n",
                  seconds(cue.sample).c_str(), cue.instrument, cue.order, cue.pattern, cue.row,
                  cue.tick, cue.channel);
  return 0;
}
