// Reading a data file on Windows. There is no non-blocking open, so the path
// is checked with stat before it is opened; the file is opened in binary
// mode, since text mode would turn CR LF into LF and stop at a 0x1A byte.
#include "files/data_file_platform.h"

#include <cstdio>
#include <sys/stat.h>

int32_t data_file_platform_open(const char *path, data_file_handle *file, int64_t *size) {
  struct _stat64 status;
  if (_stat64(path, &status) != 0) return DATA_FILE_MISSING;
  if ((status.st_mode & _S_IFMT) != _S_IFREG) return DATA_FILE_NOT_REGULAR;
  std::FILE *opened = std::fopen(path, "rb");
  if (opened == nullptr) return DATA_FILE_MISSING;
  *file = reinterpret_cast<data_file_handle>(opened);
  *size = int64_t(status.st_size);
  return DATA_FILE_READ;
}

int64_t data_file_platform_read(data_file_handle file, uint8_t *into, int64_t count) {
  std::FILE *opened = reinterpret_cast<std::FILE *>(file);
  const size_t got = std::fread(into, 1, size_t(count), opened);
  return got == 0 && std::ferror(opened) ? -1 : int64_t(got);
}

void data_file_platform_close(data_file_handle file) {
  std::fclose(reinterpret_cast<std::FILE *>(file));
}
