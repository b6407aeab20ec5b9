// show.h - the show: start-up, the frame loop and the music-driven scenes.
//
// There is no timeline: three cue handlers, run by the frame loop for the
// notes of certain instruments heard by the frame's time, move the scene
// index or force a one-frame flash of the logo or the credits. Each frame draws the picture
// named by picture_code, then sets picture_code from the scene table, so the
// value chosen in one frame is what the next frame draws.
//
// Picture codes (PICTURE_FILE_FOR_CODE says which data file each draws):
// 0 logo (163 x 361 at (120, 120), keyed), 1..7 the scenes in the order the
// song brings them (full frame, keyed), 8 the credits (full frame, opaque),
// anything else draws nothing.
#pragma once

#include "files/data_files.h"
#include "music/sound.h"

#include <atomic>
#include <cstdint>

constexpr int32_t SCENE_COUNT = DATA_FILE_CREDITS - DATA_FILE_FIRST_SCENE;
// Every data file but the song is a picture.
constexpr int32_t PICTURE_COUNT = DATA_FILE_SONG;
constexpr int32_t PICTURE_CODE_LOGO = 0;
constexpr int32_t PICTURE_CODE_CREDITS = 8;
constexpr int32_t LOGO_X = 120;
constexpr int32_t LOGO_Y = 120;
constexpr int32_t LOGO_WIDTH = DATA_FILES[DATA_FILE_LOGO].width;
constexpr int32_t LOGO_HEIGHT = DATA_FILES[DATA_FILE_LOGO].height;

// The one table from picture code to picture: the index in DATA_FILES (and
// in show_pictures) of the file each code draws. The scenes come in file
// order but for the last two: code 6 draws "8.raw" and code 7 "7.raw".
constexpr int32_t PICTURE_FILE_FOR_CODE[PICTURE_COUNT] = {
    DATA_FILE_LOGO, DATA_FILE_FIRST_SCENE,     DATA_FILE_FIRST_SCENE + 1, DATA_FILE_FIRST_SCENE + 2,
    DATA_FILE_FIRST_SCENE + 3, DATA_FILE_FIRST_SCENE + 4, DATA_FILE_FIRST_SCENE + 6,
    DATA_FILE_FIRST_SCENE + 5, DATA_FILE_CREDITS};

extern const int32_t scene_table[SCENE_COUNT];
// Written by the cue handlers, read and written by the frame loop: single
// relaxed loads and stores, each value valid on its own, so a handler run on
// another thread stays safe.
extern std::atomic<int32_t> scene_index;  // always 0 .. SCENE_COUNT - 1
extern std::atomic<int32_t> picture_code; // what the next frame draws

// The pictures in load order: buffer i holds DATA_FILES[i] (files/data_files.h).
extern uint8_t *show_pictures[PICTURE_COUNT];

void on_cue_next_scene(sound_song *song, int32_t parameter);
void on_cue_logo(sound_song *song, int32_t parameter);
void on_cue_credits(sound_song *song, int32_t parameter);

// Reads up to `length` bytes of the regular file `path` into `buffer`;
// whatever the file does not supply (all of it when the file is missing, is
// not a regular file: a directory, a FIFO, a device, or is above the data
// files' size limit) is set to 0.
void load_raw_file(uint8_t *buffer, const char *path, int32_t length);

// Allocates the nine picture buffers and loads them from the current
// directory. 0 only when memory cannot be had.
int show_load_pictures();

// Draws the picture that `code` names into the frame.
void show_draw_picture(int32_t code, uint32_t *frame);

// The buffer of a scene code (1 .. 7: full frame, keyed), else nullptr.
const uint8_t *show_scene_picture(int32_t code);

// Gentle viewing (off unless asked for): the same frames are composed with a
// slow tint (a full swing every GENTLE_TINT_PERIOD_MS) and with the logo or
// credits held for GENTLE_HOLD_MS after their cue instead of one frame; the
// frame shown follows them at a bounded pace (gentle_follow, compose.h).
constexpr int32_t GENTLE_TINT_PERIOD_MS = 4000;
constexpr int32_t GENTLE_HOLD_MS = 1000;
void show_set_gentle(int on);

// The frame to present after show_compose_frame: frame_buffer, or in gentle
// viewing gentle_frame.
const uint32_t *show_frame_shown();

// One pass of the frame loop's composition, with the song time sampled for
// this frame: draw, reassign picture_code, noise, tint. The display update
// follows it.
void show_compose_frame(int32_t frame_time_ms);

// The folder whose files the show uses, with a trailing separator, or ""
// for the current folder: the current folder when it holds the song, else
// the program's own folder (`program_folder`, ending in a separator, or
// nullptr when unknown) when it does, else the installed data folder
// `data_below_program` below it (e.g. "../share/quarvelin/") when it does,
// else the current folder. `holds_file(path)` says whether a file exists.
// The result stays valid until the next call.
const char *show_choose_folder(const char *program_folder, const char *data_below_program,
                               int (*holds_file)(const char *path));

// Makes the chosen folder the current one, before anything is loaded.
void show_enter_files_folder();

// The program: start-up, then the frame loop for ever. Returns 1 when the
// display or the music cannot be started; every other end is an exit from
// the display's events.
int demo_main();
