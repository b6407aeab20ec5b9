// Small extended modules built in code for the music tests, and helpers to
// render them without a device.
#pragma once

#include "music/sound.h"
#include "content/xm_write.h"

#include <string>
#include <utility>
#include <vector>

// At 125 BPM a tick lasts 2.5 / 125 s: 640 frames at 32000 Hz.
constexpr int TEST_RATE = 32000;
constexpr int64_t TEST_TICK_FRAMES = 640;

// One pattern of `rows` rows per entry of `orders` (pattern i for order i
// unless orders is given), `instruments` instruments each holding a short
// looped tone, speed `speed`, 125 BPM.
xm_module test_song(int channels, int rows, int speed = 4, int instruments = 6, int patterns = 1);

// Eight rows of notes of instruments 3, 4 and 6 (some note-delayed) at
// speed 4: 0.64 s a pass; the file's bytes.
std::vector<uint8_t> cue_song_bytes();

// A song shaped like those found in the wild: 4 channels, two patterns,
// eight instruments with long samples (16- and 8-bit, looped and not, one
// with an envelope) of which the last two never play, and the show's cue
// instruments 3, 4 and 6 among note delays.
xm_module shaped_song();

// The shaped song as other trackers save it: by name, the file's bytes.
// "plain" first, then an older revision, a short song header, an ADPCM
// sample, trailing instruments cut off, and a file ending inside the last
// instrument's sample data.
std::vector<std::pair<std::string, std::vector<uint8_t>>> shaped_song_files();

// Every cue of `length` frames (one pass when 0) of the song.
std::vector<sound_cue> render_cues(const xm_module &song, int64_t length = 0);
std::vector<sound_cue> render_cues(const std::vector<uint8_t> &bytes, int64_t length = 0);

// Frames in one pass of the song, or -1 when refused.
int64_t pass_frames(const std::vector<uint8_t> &bytes);

// A file in the test's temporary folder holding `bytes`; its path.
std::string write_temp_file(const std::string &name, const std::vector<uint8_t> &bytes);
