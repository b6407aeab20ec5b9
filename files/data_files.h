// data_files.h - the show's data files: which there are, and the one way
// they are read.
//
// DATA_FILES is the only list of the files. The show loads the pictures in
// its order (buffer i holds DATA_FILES[i]), the generator writes every file
// it names, the capture tool and the song checker read them, and the build
// takes the names from the lines below (content/CMakeLists.txt), so each
// entry stays on one line of its own.
//
// data_file_read and data_file_read_into are how every program here reads
// one of them: only a regular file is read (a FIFO, a directory or a device
// is refused at once, without waiting on it), and only up to
// DATA_FILE_MAX_BYTES. The system's side is data_file_platform.h.
#pragma once

#include "compose/compose.h"

#include <cstdint>

struct data_file {
  const char *name;
  const char *role;
  int32_t width, height; // pictures: 8-bit gray levels, row by row; the song: 0 x 0
};

constexpr int32_t DATA_FILE_COUNT = 10;
constexpr data_file DATA_FILES[DATA_FILE_COUNT] = {
    {"quarvelin.raw", "logo", 163, 361},
    {"2.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"3.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"4.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"5.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"6.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"7.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"8.raw", "scene", FRAME_WIDTH, FRAME_HEIGHT},
    {"credits.raw", "credits", FRAME_WIDTH, FRAME_HEIGHT},
    {"RETRO.XM", "song", 0, 0},
};
// Where the roles sit: the logo, the seven scenes from DATA_FILE_FIRST_SCENE
// ("2.raw" .. "8.raw"), the credits, then the song.
constexpr int32_t DATA_FILE_LOGO = 0;
constexpr int32_t DATA_FILE_FIRST_SCENE = 1;
constexpr int32_t DATA_FILE_CREDITS = 8;
constexpr int32_t DATA_FILE_SONG = 9;

constexpr int32_t data_file_bytes(const data_file &file) { return file.width * file.height; }

// The largest file any of them may be.
constexpr int64_t DATA_FILE_MAX_BYTES = 64 << 20;

enum data_file_verdict : int32_t {
  DATA_FILE_READ = 0,
  DATA_FILE_MISSING,     // cannot be opened
  DATA_FILE_NOT_REGULAR, // a directory, a FIFO, a device
  DATA_FILE_TOO_LARGE,   // above DATA_FILE_MAX_BYTES
  DATA_FILE_UNREADABLE,  // a read failed, or the file changed size while read
};

// The whole file into a new malloc'd buffer (*data, nullptr when empty; the
// caller frees it), its length in *size. A data_file_verdict; on anything but
// DATA_FILE_READ *data is nullptr and *size 0.
int32_t data_file_read(const char *path, uint8_t **data, int64_t *size);
// The file's first `capacity` bytes into `into`; *got receives how many were
// read (0 on a refusal). A data_file_verdict.
int32_t data_file_read_into(const char *path, uint8_t *into, int64_t capacity, int64_t *got);
// Why a file was refused, in a few words: "not a readable regular file",
// "too large (the limit is 64 MiB)", "cannot be read".
const char *data_file_refusal(int32_t verdict);
