// sound_platform.h - what the libxmp sound layer (sound_xmp.cpp) takes from
// the operating system, one file per system chosen by the build:
//   sound_xmp_posix.cpp    Linux: ALSA's error messages silenced, files
//                          opened without blocking on a pipe
//   sound_xmp_windows.cpp  Windows: files opened in binary mode
#pragma once

#include <cstdint>

// Before the audio device is opened: libraries it loads print nothing.
void sound_platform_quiet_output();
// Opens a file for reading its bytes unchanged; a descriptor, or -1.
int sound_platform_open_file(const char *path);
// Reads up to `count` bytes; how many were read, 0 at the end, -1 on error.
int64_t sound_platform_read(int file, uint8_t *into, int64_t count);
