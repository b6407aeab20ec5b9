// Reading one data file, the same way for every program: open (the system's
// side refuses anything but a regular file), size check, read.
#include "files/data_files.h"
#include "files/data_file_platform.h"

#include <cstdlib>

namespace {

// Opens and checks `path`; on DATA_FILE_READ the file is open.
int32_t open_checked(const char *path, data_file_handle *file, int64_t *size) {
  if (path == nullptr) return DATA_FILE_MISSING;
  const int32_t verdict = data_file_platform_open(path, file, size);
  if (verdict != DATA_FILE_READ) return verdict;
  if (*size > DATA_FILE_MAX_BYTES) {
    data_file_platform_close(*file);
    return DATA_FILE_TOO_LARGE;
  }
  return DATA_FILE_READ;
}

int64_t read_fully(data_file_handle file, uint8_t *into, int64_t count) {
  int64_t got = 0;
  while (got < count) {
    const int64_t n = data_file_platform_read(file, into + got, count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

} // namespace

int32_t data_file_read(const char *path, uint8_t **data, int64_t *size) {
  *data = nullptr;
  *size = 0;
  data_file_handle file = 0;
  int64_t length = 0;
  int32_t verdict = open_checked(path, &file, &length);
  if (verdict != DATA_FILE_READ) return verdict;
  uint8_t *bytes = length > 0 ? static_cast<uint8_t *>(std::malloc(size_t(length))) : nullptr;
  // A file that grew or shrank since it was measured is not read half.
  uint8_t extra;
  if ((length > 0 && bytes == nullptr) || read_fully(file, bytes, length) != length ||
      data_file_platform_read(file, &extra, 1) != 0) {
    std::free(bytes);
    verdict = DATA_FILE_UNREADABLE;
  } else {
    *data = bytes;
    *size = length;
  }
  data_file_platform_close(file);
  return verdict;
}

int32_t data_file_read_into(const char *path, uint8_t *into, int64_t capacity, int64_t *got) {
  *got = 0;
  data_file_handle file = 0;
  int64_t length = 0;
  const int32_t verdict = open_checked(path, &file, &length);
  if (verdict != DATA_FILE_READ) return verdict;
  *got = read_fully(file, into, capacity < length ? capacity : length);
  data_file_platform_close(file);
  return DATA_FILE_READ;
}

const char *data_file_refusal(int32_t verdict) {
  switch (verdict) {
  case DATA_FILE_READ: return "read";
  case DATA_FILE_TOO_LARGE: return "too large (the limit is 64 MiB)";
  case DATA_FILE_UNREADABLE: return "cannot be read";
  default: return "not a readable regular file";
  }
}
