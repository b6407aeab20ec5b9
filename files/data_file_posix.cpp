// Reading a data file on Linux and in the browser's in-memory file system.
// The open does not block, so a FIFO in a file's place cannot hold the
// program; fstat on the open file then tells what it is.
#include "files/data_file_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int32_t data_file_platform_open(const char *path, data_file_handle *file, int64_t *size) {
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return DATA_FILE_MISSING;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return DATA_FILE_NOT_REGULAR;
  }
  *file = descriptor;
  *size = int64_t(status.st_size);
  return DATA_FILE_READ;
}

int64_t data_file_platform_read(data_file_handle file, uint8_t *into, int64_t count) {
  return read(int(file), into, size_t(count));
}

void data_file_platform_close(data_file_handle file) { close(int(file)); }
