// Where the show finds its files when it is not started from their folder.
#include "show/show.h"

#include "music/music.h"

#include <cstdio>
#include <cstring>

static char chosen_folder[4096];

// Joins the parts into `out`; 0 when they do not fit.
static int join(char *out, size_t size, const char *first, const char *second) {
  int length = std::snprintf(out, size, "%s%s", first, second);
  return length >= 0 && size_t(length) < size;
}

const char *show_choose_folder(const char *program_folder, const char *data_below_program,
                               int (*holds_file)(const char *path)) {
  chosen_folder[0] = '\0';
  // The current folder first, so a folder of one's own files works as before.
  if (holds_file(MUSIC_SONG_FILE) || program_folder == nullptr || program_folder[0] == '\0')
    return chosen_folder;
  const char *const below[] = {"", data_below_program};
  char folder[sizeof chosen_folder];
  char song[sizeof chosen_folder + 16];
  for (const char *part : below) {
    if (part == nullptr || !join(folder, sizeof folder, program_folder, part) ||
        !join(song, sizeof song, folder, MUSIC_SONG_FILE) || !holds_file(song))
      continue;
    std::memcpy(chosen_folder, folder, sizeof folder);
    break;
  }
  return chosen_folder;
}
