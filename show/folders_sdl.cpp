// The show's folder on this machine: the program's own folder from SDL,
// files looked at without opening them, the current folder changed.
#include "show/folders_platform.h"
#include "show/show.h"

#include <SDL.h>
#include <sys/stat.h>

static int holds_regular_file(const char *path) {
  struct stat info;
  return stat(path, &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

void show_enter_files_folder() {
  char *program_folder = SDL_GetBasePath(); // with a trailing separator; nullptr where unknown
  const char *folder = show_choose_folder(program_folder, QUARVELIN_DATA_BELOW_PROGRAM, holds_regular_file);
  if (folder[0] != '\0' && folders_platform_enter(folder) == 0) {
    // Stays in the current folder: the song's load then ends the show with 1.
  }
  SDL_free(program_folder);
}
