#include "tests/music/test_songs.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

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
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                     ("quarvelin-music-tests-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::string path = (folder / name).string();
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}
