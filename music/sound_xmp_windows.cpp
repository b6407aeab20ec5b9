// The sound layer's Windows side. Without O_BINARY the C runtime would turn
// CR LF into LF and stop at a 0x1A byte, and the song would arrive damaged.
#include "music/sound_platform.h"

#include <fcntl.h>
#include <io.h>

void sound_platform_quiet_output() {}

int sound_platform_open_file(const char *path) { return _open(path, _O_RDONLY | _O_BINARY); }

int64_t sound_platform_read(int file, uint8_t *into, int64_t count) {
  // The C runtime reads at most an unsigned int's worth at once.
  const int64_t most = 1 << 30;
  return _read(file, into, unsigned(count < most ? count : most));
}
