#include "tests/sound/recording_match.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double WINDOW_SECONDS = 0.010; // envelope resolution
constexpr int SILENT_LEVEL = 4;          // |sample| at or below: silence (-78 dBFS)

uint32_t read_u32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t read_u16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

// Root mean square of both channels over each window.
std::vector<double> envelope(const stereo_sound &sound, int64_t first, int64_t window) {
  std::vector<double> out;
  for (int64_t start = first; start + window <= sound.frames(); start += window) {
    double sum = 0;
    for (int64_t i = 2 * start; i < 2 * (start + window); ++i)
      sum += double(sound.samples[size_t(i)]) * sound.samples[size_t(i)];
    out.push_back(std::sqrt(sum / double(2 * window)));
  }
  return out;
}

bool silent(const stereo_sound &sound, int64_t frame) {
  return std::abs(sound.samples[size_t(2 * frame)]) <= SILENT_LEVEL &&
         std::abs(sound.samples[size_t(2 * frame + 1)]) <= SILENT_LEVEL;
}

} // namespace

bool read_wav(const std::string &path, stereo_sound *sound, std::string *error) {
  FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return *error = path + ": cannot be read", false;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
    return *error = path + ": not a WAV file", false;
  bool have_format = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint8_t *chunk = bytes.data() + at;
    const size_t size = read_u32(chunk + 4);
    const size_t left = bytes.size() - at - 8;
    if (!std::memcmp(chunk, "fmt ", 4) && size >= 16 && left >= 16) {
      if (read_u16(chunk + 8) != 1 || read_u16(chunk + 10) != 2 || read_u16(chunk + 22) != 16)
        return *error = path + ": not 16-bit stereo PCM", false;
      sound->rate = int32_t(read_u32(chunk + 12));
      have_format = true;
    } else if (!std::memcmp(chunk, "data", 4) && have_format) {
      const size_t take = std::min(size, left) / 4 * 4;
      sound->samples.resize(take / 2);
      std::memcpy(sound->samples.data(), chunk + 8, take);
      return true;
    }
    at += 8 + size + (size & 1);
  }
  return *error = path + ": no sound data", false;
}

recording_match match_recording(const stereo_sound &recording, const stereo_sound &song,
                                int64_t skip_frames) {
  recording_match match;
  const int64_t window = std::max<int64_t>(1, std::llround(song.rate * WINDOW_SECONDS));
  const std::vector<double> heard = envelope(recording, skip_frames, window);
  const std::vector<double> played = envelope(song, 0, window);
  if (heard.size() < 2 || played.size() < heard.size()) return match;

  // Pearson correlation of the recording's envelope with the song's at every
  // window offset; running sums keep it linear in the song's length per lag.
  const size_t n = heard.size();
  double heard_sum = 0, heard_squares = 0;
  for (double v : heard) heard_sum += v, heard_squares += v * v;
  const double heard_spread = heard_squares - heard_sum * heard_sum / double(n);
  double best = -2;
  size_t best_lag = 0;
  for (size_t lag = 0; lag + n <= played.size(); ++lag) {
    double sum = 0, squares = 0, products = 0;
    for (size_t i = 0; i < n; ++i) {
      const double p = played[lag + i];
      sum += p, squares += p * p, products += p * heard[i];
    }
    const double spread = squares - sum * sum / double(n);
    if (spread <= 0 || heard_spread <= 0) continue;
    const double r = (products - sum * heard_sum / double(n)) / std::sqrt(spread * heard_spread);
    if (r > best) best = r, best_lag = lag;
  }
  match.correlation = best;
  const int64_t start = int64_t(best_lag) * window; // the song frame under skip_frames
  match.offset_seconds = double(start - skip_frames) / song.rate;

  // Silent runs of the recording, and of the song over the same frames. A
  // recording run counts as a gap when sound comes before and after it and
  // the song has sound in most of it (the alignment is good to one window,
  // so edges are forgiven).
  const int64_t frames = std::min(recording.frames() - skip_frames, song.frames() - start);
  int64_t run = 0, song_run = 0, song_silent_in_run = 0, longest = 0, song_longest = 0;
  for (int64_t i = 0; i <= frames; ++i) {
    const bool end = i == frames;
    const bool quiet = !end && silent(recording, skip_frames + i);
    const bool song_quiet = !end && silent(song, start + i);
    song_run = song_quiet ? song_run + 1 : 0;
    song_longest = std::max(song_longest, song_run);
    if (quiet) {
      ++run;
      song_silent_in_run += song_quiet;
      continue;
    }
    // Silence at either end is the program not yet started or already ended.
    const bool inside = !end && run < i;
    if (inside && run > 2 * window && song_silent_in_run < run / 2) longest = std::max(longest, run), ++match.gaps;
    run = song_silent_in_run = 0;
  }
  match.longest_gap_ms = 1000.0 * double(longest) / song.rate;
  match.song_longest_gap_ms = 1000.0 * double(song_longest) / song.rate;
  return match;
}
