// quarvelin-content: writes the show's data files, or prints the song's cues.
//
//   quarvelin-content FOLDER   writes quarvelin.raw, 2.raw .. 8.raw, credits.raw
//                              and RETRO.XM into FOLDER (created when missing),
//                              keeping any of them the user replaced
//   quarvelin-content --cues   prints when the generated song plays each cue
//                              note, from its own note placement
#include "content/content.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void print_cues() {
  const xm_module song = content_song();
  const double row = content_row_seconds(song);
  int restart_rows = 0;
  for (int order = 0; order < song.restart; ++order)
    restart_rows += song.patterns[song.orders[size_t(order)]].rows;
  std::printf("# RETRO.XM: %.3f s to the end of the order list, then it loops from order %d (%.3f s)\n",
              content_loop_seconds(song), song.restart, restart_rows * row);
  std::printf("# seconds  instrument  order  row\n");
  for (const content_cue &cue : content_cues(song))
    std::printf("%9.3f  %10d  %5d  %3d\n", cue.seconds, cue.instrument, cue.order, cue.row);
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "--cues") == 0) {
    print_cues();
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: quarvelin-content FOLDER | --cues\n");
    return 2;
  }
  std::vector<std::string> left_alone;
  const bool written = content_write_all(argv[1], &left_alone);
  if (!left_alone.empty()) {
    std::string names;
    for (const std::string &name : left_alone)
      names += " " + name;
    std::printf(
        "quarvelin-content: kept your own files in %s:%s (delete one to get the generated file back)\n",
        argv[1], names.c_str());
  }
  if (!written) {
    std::fprintf(stderr, "quarvelin-content: cannot write the files into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
