// xm_write.h - writes FastTracker II extended modules (.xm) from memory.
//
// Used by the content generator (the show's own song) and by the music and
// capture tests (small songs, one per cue rule). A module is built as plain
// data and serialised in one call:
//
//   xm_module song;
//   song.channels = 4;
//   song.patterns.push_back(xm_make_pattern(64, song.channels));
//   song.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};   // C-4, instrument 1
//   song.orders = {0};
//   song.instruments.push_back(instrument);
//   std::vector<uint8_t> bytes = xm_write(song);
//
// Notes are 1..96 (C-0 .. B-7), 97 is key off, 0 none. Instruments are
// numbered from 1 in cells. Samples are stored delta-coded, as the format
// wants; 8-bit samples take the high byte of the 16-bit data.
//
// Other trackers' ways of saving can be written too, so the music tests can
// check songs shaped like theirs: format revisions 1.02 and 1.03 (instruments
// before patterns, all sample data after the patterns; 1.02 with a shorter
// pattern header), the compact song header that stores only the orders in
// use, and ModPlug's 4-bit ADPCM-packed 8-bit samples.
#pragma once

#include "music/xm_layout.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct xm_cell {
  uint8_t note = 0;
  uint8_t instrument = 0;
  uint8_t volume = 0; // volume column byte: 0x10..0x50 set volume, 0xF0..0xFF tone portamento, ...
  uint8_t effect = 0;
  uint8_t parameter = 0;
};

struct xm_pattern {
  int rows = 64;
  int channels = 0;
  std::vector<xm_cell> cells; // rows * channels, row-major
  xm_cell &at(int row, int channel) { return cells[size_t(row * channels + channel)]; }
  const xm_cell &at(int row, int channel) const { return cells[size_t(row * channels + channel)]; }
};

xm_pattern xm_make_pattern(int rows, int channels);

struct xm_envelope {
  std::vector<std::pair<uint16_t, uint16_t>> points; // (tick, value 0..64), at most 12
  int sustain = -1;                                  // point index, or -1
  int loop_start = -1, loop_end = -1;                // point indices, or -1
};

enum xm_loop { XM_LOOP_NONE = 0, XM_LOOP_FORWARD = 1, XM_LOOP_PINGPONG = 2 };

struct xm_sample {
  std::string name;
  std::vector<int16_t> data;
  bool sixteen_bit = true;
  uint32_t loop_start = 0, loop_length = 0; // in samples
  xm_loop loop = XM_LOOP_NONE;
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relative_note = 0;
  bool adpcm = false; // ModPlug 4-bit ADPCM (8-bit samples only)
};

struct xm_instrument {
  std::string name;
  std::vector<xm_sample> samples;
  std::vector<uint8_t> keymap = std::vector<uint8_t>(96, 0); // sample index for each note
  xm_envelope volume_envelope, panning_envelope;
  uint16_t fadeout = 0;
};

struct xm_module {
  std::string name;
  std::string tracker = "quarvelin";
  int channels = 4;
  int speed = 6;   // ticks per row
  int tempo = 125; // BPM
  int restart = 0; // order to loop back to
  bool linear_frequencies = true;
  uint16_t version = 0x0104;   // 0x0102, 0x0103 or 0x0104
  bool compact_header = false; // song header holds only the orders in use
  std::vector<uint8_t> orders;
  std::vector<xm_pattern> patterns;
  std::vector<xm_instrument> instruments;
};

std::vector<uint8_t> xm_write(const xm_module &module);
// Writes the module to `path`; false when the file cannot be written.
bool xm_save(const xm_module &module, const std::string &path);
