// The sound layer's browser side: SDL's Web Audio output prints nothing, and
// files come from the page's in-memory file system.
#include "music/sound_platform.h"

#include <fcntl.h>
#include <unistd.h>

void sound_platform_quiet_output() {}

int sound_platform_open_file(const char *path) { return open(path, O_RDONLY | O_CLOEXEC); }

int64_t sound_platform_read(int file, uint8_t *into, int64_t count) {
  return read(file, into, size_t(count));
}
