// content.h - the show's own pictures and song, computed from scratch.
//
// Everything here is a pure function of the code: no clock, no unseeded
// randomness, no library whose output may change between machines (lettering
// uses the stroke font of content_draw.h, sines use content_sine). Floating-point
// code is built without contraction (no fused multiply-add), so each file
// comes out byte-identical on every run and machine.
//
// The files, their names and sizes are those of DATA_FILES (files/data_files.h):
//   content_logo()        the logo "quarvelin.raw": gray 1..255 on 0
//   content_scene(n)      the scene "n.raw", n = 2..8: gray 1..255 with wide areas of 0
//   content_credits()     "credits.raw": every pixel drawn (1..255)
//   content_song()        "RETRO.XM" as module data (see content_song.cpp)
//   content_cues(song)    the cue notes (instruments 3, 4, 6) of one pass
//                         through the order list, with their times, as the
//                         show's own player triggers them (sound_render)
//   content_write_all(d)  writes the ten files into folder d (created when
//                         missing), except files the user put in their place;
//                         false when the folder or a file cannot be written
#pragma once

// The files' table, and the show's cue instruments.
#include "content/xm_write.h"
#include "files/data_files.h"
#include "music/music.h"

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> content_logo();
std::vector<uint8_t> content_scene(int number);
std::vector<uint8_t> content_credits();

xm_module content_song();

struct content_cue {
  int instrument;
  int order;
  int row;
  double seconds; // from the start of the song
};

// Rows of a module without speed or tempo changes last speed * 2.5 / tempo s.
double content_row_seconds(const xm_module &song);
// One pass through the order list, in seconds.
double content_loop_seconds(const xm_module &song);
// The notes of instruments 3, 4 and 6 that the show's player triggers in one
// pass, in playing order (their times from its offline rendering, at the
// show's mixing rate); empty when the player refuses the song.
std::vector<content_cue> content_cues(const xm_module &song);

// The record, in the folder, of what the generator last wrote there.
constexpr const char *CONTENT_RECORD_FILE = ".quarvelin-content";

// Writes each file that is missing or still exactly what the record says was
// written; any other file is left as it is and its name added to
// `left_alone` (when given).
bool content_write_all(const std::string &folder, std::vector<std::string> *left_alone = nullptr);
