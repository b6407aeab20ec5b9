// data_file_platform.h - what reading a data file (data_files.cpp) takes from
// the operating system, one file per system chosen by the build:
//   data_file_posix.cpp    Linux and the browser's in-memory file system:
//                          opened without blocking, then checked with fstat
//   data_file_windows.cpp  Windows, which has no non-blocking open: checked
//                          with stat, then opened in binary mode
#pragma once

#include "files/data_files.h"

#include <cstdint>

// An open file: a descriptor or a FILE *, as the system's side keeps it.
typedef intptr_t data_file_handle;

// Opens `path` when it is a regular file; DATA_FILE_READ with *file and its
// length *size set, else DATA_FILE_MISSING or DATA_FILE_NOT_REGULAR and
// nothing left open. Never waits on a FIFO or a device.
int32_t data_file_platform_open(const char *path, data_file_handle *file, int64_t *size);
// Reads up to `count` bytes; how many were read, 0 at the end, -1 on error.
int64_t data_file_platform_read(data_file_handle file, uint8_t *into, int64_t count);
void data_file_platform_close(data_file_handle file);
