#include "tests/support/test_songs.h"

#include "tests/support/test_files.h"

#include <cmath>
#include <cstdio>

xm_module test_song(int channels, int rows, int speed, int instruments, int patterns) {
  xm_module song;
  song.channels = channels;
  song.speed = speed;
  song.tempo = 125;
  for (int p = 0; p < patterns; ++p) {
    song.patterns.push_back(xm_make_pattern(rows, channels));
    song.orders.push_back(uint8_t(p));
  }
  for (int i = 0; i < instruments; ++i) {
    xm_instrument instrument;
    instrument.name = "tone " + std::to_string(i + 1);
    xm_sample sample;
    for (int n = 0; n < 64; ++n)
      sample.data.push_back(int16_t(12000 * std::sin(n * 2 * M_PI * (i + 1) / 64)));
    sample.loop = XM_LOOP_FORWARD;
    sample.loop_length = 64;
    instrument.samples.push_back(sample);
    song.instruments.push_back(instrument);
  }
  return song;
}

xm_module shaped_song() {
  xm_module song = test_song(4, 16, 3, 8, 2);
  for (size_t i = 0; i < song.instruments.size(); ++i) {
    xm_sample &sample = song.instruments[i].samples[0];
    sample.data.clear();
    for (int n = 0; n < 1500; ++n)
      sample.data.push_back(int16_t(9000 * std::sin(n * 2 * M_PI * double(i + 2) / 100)));
    sample.loop_length = i % 3 == 0 ? 0 : 1000;
    sample.loop = i % 3 == 0 ? XM_LOOP_NONE : i % 3 == 1 ? XM_LOOP_FORWARD : XM_LOOP_PINGPONG;
    sample.sixteen_bit = i % 2 == 0;
  }
  song.instruments[0].volume_envelope.points = {{0, 64}, {20, 20}, {40, 0}};
  song.instruments[0].fadeout = 400;
  song.restart = 1;
  for (int row = 0; row < 16; row += 2) {
    if (row % 4 == 0) song.patterns[0].at(row, 0) = {25, 1, 0, 0, 0};
    song.patterns[1].at(row, 1) = {uint8_t(49 + row), 2, 0, 0, 0};
  }
  song.patterns[0].at(0, 2) = {61, 3, 0, 0, 0};
  song.patterns[0].at(6, 3) = {52, 5, 0x30, 0x0E, 0xD2};
  song.patterns[0].at(7, 3) = {0, 0, 0, 0x0E, 0xD1};
  song.patterns[1].at(0, 2) = {61, 3, 0, 0, 0};
  song.patterns[1].at(8, 2) = {64, 4, 0, 0, 0};
  song.patterns[1].at(12, 3) = {55, 6, 0, 0x0C, 0x20};
  song.patterns[1].at(14, 3) = {XM_KEY_OFF, 0, 0, 0, 0};
  return song;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> shaped_song_files() {
  const xm_module song = shaped_song();
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {{"plain", xm_write(song)}};
  for (uint16_t version : {uint16_t(0x0102), uint16_t(0x0103)}) {
    xm_module old = song;
    old.version = version;
    files.emplace_back("version " + std::to_string(version), xm_write(old));
  }
  xm_module compact = song;
  compact.compact_header = true;
  files.emplace_back("compact header", xm_write(compact));
  xm_module adpcm = song;
  adpcm.instruments[1].samples[0].adpcm = true;
  files.emplace_back("ADPCM sample", xm_write(adpcm));
  // Cut inside the first unused instrument's header, which the player alone refuses.
  xm_module used_only = song;
  used_only.instruments.resize(6);
  std::vector<uint8_t> cut = xm_write(song);
  cut.resize(xm_write(used_only).size() + 100);
  files.emplace_back("trailing instruments cut off", cut);
  std::vector<uint8_t> short_sample = xm_write(song);
  short_sample.resize(short_sample.size() - 700);
  files.emplace_back("cut inside sample data", short_sample);
  return files;
}

std::vector<sound_cue> render_cues(const std::vector<uint8_t> &bytes, int64_t length) {
  int32_t count = 0;
  if (sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, length, nullptr, nullptr, 0,
                   &count) < 0)
    return {};
  std::vector<sound_cue> cues(static_cast<size_t>(count));
  sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, length, nullptr, cues.data(),
               count, &count);
  return cues;
}

std::vector<sound_cue> render_cues(const xm_module &song, int64_t length) {
  return render_cues(xm_write(song), length);
}

int64_t pass_frames(const std::vector<uint8_t> &bytes) {
  int32_t count = 0;
  return sound_render(bytes.data(), int64_t(bytes.size()), TEST_RATE, 0, nullptr, nullptr, 0,
                      &count);
}

std::string write_temp_file(const std::string &name, const std::vector<uint8_t> &bytes) {
  static const temp_folder folder("music-tests");
  write_file(folder.path / name, bytes);
  return (folder.path / name).string();
}

std::vector<uint8_t> cue_song_bytes() {
  xm_module song = test_song(3, 8);
  for (int row = 0; row < 8; ++row) {
    song.patterns[0].at(row, 0) = {49, 3, 0, 0, 0};
    if (row % 2 == 1) song.patterns[0].at(row, 1) = {49, 4, 0, 0x0E, uint8_t(0xD0 + row % 4)};
    if (row % 4 == 2) song.patterns[0].at(row, 2) = {61, 6, 0, 0, 0};
  }
  return xm_write(song);
}
