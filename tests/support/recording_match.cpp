#include "tests/support/recording_match.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr double WINDOW_SECONDS = 0.010; // envelope resolution of the search
constexpr double FINE_SECONDS = 0.001;   // and of the refinement around its best
constexpr double REFINE_SECONDS = 2;     // of the recording (after the skip) the refinement compares
constexpr int SILENT_LEVEL = 4;          // |sample| at or below: silence (-78 dBFS)
constexpr double PIECE_SECONDS = 0.25;   // of the recording, placed on its own when following skips
constexpr double SKIP_REACH_SECONDS = 0.06; // the most a piece is placed from where the last one was
constexpr double SKIP_MIN_LIKENESS = 0.9;   // a piece moves only to where it is this alike (a song's
                                            // loops make a poor likeness repeat a beat away)
constexpr double SKIP_MIN_GAIN = 0.05;      // and that much more alike than where it was
constexpr double SKIP_MIN_SECONDS = 0.010;  // a move this long or longer counts as a skip
constexpr double ANCHOR_SECONDS = 1;        // how far from the whole recording's place a piece is placed afresh
constexpr double ANCHOR_MIN_LIKENESS = 0.8; // and how alike it must be there

uint32_t read_u32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t read_u16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

// Root mean square of both channels over each whole window from frame
// `first`, up to frame `end` (the sound's end by default).
std::vector<double> envelope(const stereo_sound &sound, int64_t first, int64_t window, int64_t end = INT64_MAX) {
  std::vector<double> out;
  end = std::min(end, sound.frames());
  for (int64_t start = first; start + window <= end; start += window) {
    double sum = 0;
    for (int64_t i = 2 * start; i < 2 * (start + window); ++i)
      sum += double(sound.samples[size_t(i)]) * sound.samples[size_t(i)];
    out.push_back(std::sqrt(sum / double(2 * window)));
  }
  return out;
}

// Pearson correlation of `a` with as many values of `b` from `b_first`.
double correlation(const std::vector<double> &a, const std::vector<double> &b, size_t b_first) {
  const double n = double(a.size());
  double a_sum = 0, a_squares = 0, b_sum = 0, b_squares = 0, products = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double x = a[i], y = b[b_first + i];
    a_sum += x, a_squares += x * x, b_sum += y, b_squares += y * y, products += x * y;
  }
  const double spread = (a_squares - a_sum * a_sum / n) * (b_squares - b_sum * b_sum / n);
  return spread > 0 ? (products - a_sum * b_sum / n) / std::sqrt(spread) : -2;
}

// The song frame, within `reach` frames of `start`, under the recording's
// `skip_frames`: 1 ms envelopes compared at quarter-millisecond steps, so
// that a note's onset places the recording to about a millisecond.
int64_t refine(const stereo_sound &recording, const stereo_sound &song, int64_t skip_frames, int64_t start,
               int64_t reach) {
  const int64_t window = std::max<int64_t>(1, std::llround(song.rate * FINE_SECONDS));
  const int64_t step = std::max<int64_t>(1, window / 4);
  const int64_t span = std::min<int64_t>(recording.frames() - skip_frames, std::llround(song.rate * REFINE_SECONDS));
  const std::vector<double> heard = envelope(recording, skip_frames, window, skip_frames + span);
  int64_t best_start = start;
  double best = -2;
  for (int64_t at = std::max<int64_t>(0, start - reach); at <= start + reach; at += step) {
    if (at + span > song.frames() || heard.size() < 2) break;
    const double r = correlation(heard, envelope(song, at, window, at + span), 0);
    if (r > best) best = r, best_start = at;
  }
  return best_start;
}

// Sums of squared samples (both channels) before each frame from `first`,
// so that any window's loudness is one subtraction.
std::vector<double> square_sums(const stereo_sound &sound, int64_t first, int64_t end) {
  end = std::min(end, sound.frames());
  std::vector<double> sums(size_t(std::max<int64_t>(0, end - first) + 1));
  for (int64_t i = first; i < end; ++i) {
    const double l = sound.samples[size_t(2 * i)], r = sound.samples[size_t(2 * i + 1)];
    sums[size_t(i - first + 1)] = sums[size_t(i - first)] + l * l + r * r;
  }
  return sums;
}

// The envelope of `count` windows from `at`, read off square sums taken from `first`.
std::vector<double> envelope_of_sums(const std::vector<double> &sums, int64_t first, int64_t at, int64_t window,
                                     size_t count) {
  std::vector<double> out(count);
  for (size_t k = 0; k < count; ++k) {
    const int64_t from = at - first + int64_t(k) * window;
    out[k] = std::sqrt((sums[size_t(from + window)] - sums[size_t(from)]) / double(2 * window));
  }
  return out;
}

// Follows a recording through the song piece by piece, each piece placed
// near where the last one was: an output that drops a stretch of sound and
// plays on (a browser's audio sink resynchronising to its clock) moves the
// placement forward, one that repeats a stretch moves it back. A piece that
// is not yet placed, or whose chain was lost (two pieces alike nowhere near),
// is placed afresh within ANCHOR_SECONDS of `start` (the song frame under
// `skip_frames`), uncounted. Counts the moves in `match`, and returns how
// alike the recording is to the song so followed (coarse windows, as the
// whole-recording search), but for the pieces that hold a skip.
double follow_skips(const stereo_sound &recording, const stereo_sound &song, int64_t skip_frames, int64_t start,
                    recording_match *match) {
  const int64_t fine = std::max<int64_t>(1, std::llround(song.rate * FINE_SECONDS));
  const int64_t coarse = std::max<int64_t>(1, std::llround(song.rate * WINDOW_SECONDS));
  const int64_t piece = coarse * std::max<int64_t>(1, std::llround(PIECE_SECONDS / WINDOW_SECONDS));
  const int64_t reach = std::llround(song.rate * SKIP_REACH_SECONDS);
  const int64_t anchor = std::llround(song.rate * ANCHOR_SECONDS);
  const int64_t step = std::max<int64_t>(1, fine / 4);
  const int64_t pieces = (recording.frames() - skip_frames) / piece;
  const int64_t song_first = std::max<int64_t>(0, start - anchor - reach * pieces);
  const std::vector<double> heard_sums = square_sums(recording, skip_frames, recording.frames());
  const std::vector<double> song_sums =
      square_sums(song, song_first, start + pieces * (piece + reach) + anchor + piece);
  const int64_t song_end = song_first + int64_t(song_sums.size()) - 1;

  // each piece's coarse envelopes, the recording's and the song's as followed
  std::vector<std::vector<double>> heard_pieces, song_pieces;
  std::vector<bool> holds_skip;
  int64_t shift = start - skip_frames; // song frame less recording frame
  int64_t skipped = 0;
  int lost = 2; // pieces in a row alike nowhere near
  for (int64_t k = 0; k < pieces; ++k) {
    const int64_t at = skip_frames + k * piece;
    const std::vector<double> piece_heard = envelope_of_sums(heard_sums, skip_frames, at, fine, size_t(piece / fine));
    auto likeness = [&](int64_t candidate) {
      const int64_t from = at + candidate;
      if (from < song_first || from + piece > song_end) return -2.0;
      return correlation(piece_heard, envelope_of_sums(song_sums, song_first, from, fine, piece_heard.size()), 0);
    };
    auto best_within = [&](int64_t centre, int64_t span, double *best) {
      int64_t best_shift = centre;
      for (int64_t candidate = centre - span; candidate <= centre + span; candidate += step) {
        const double r = likeness(candidate);
        if (r > *best) *best = r, best_shift = candidate;
      }
      return best_shift;
    };
    const double here = likeness(shift);
    double best = here;
    const int64_t best_shift = best_within(shift, reach, &best);
    bool skip = false;
    if (best >= SKIP_MIN_LIKENESS && best > here + SKIP_MIN_GAIN &&
        std::llabs(best_shift - shift) >= std::llround(song.rate * SKIP_MIN_SECONDS) && lost < 2) {
      ++match->skips;
      skipped += std::llabs(best_shift - shift);
      shift = best_shift;
      skip = true;
    }
    lost = std::max(here, best) >= SKIP_MIN_LIKENESS ? 0 : lost + 1;
    if (lost >= 2) {
      double fresh = -2;
      const int64_t placed = best_within(start - skip_frames, anchor, &fresh);
      if (fresh >= ANCHOR_MIN_LIKENESS) shift = placed, lost = 0;
    }
    if (at + shift < song_first || at + shift + piece > song_end) break;
    heard_pieces.push_back(envelope_of_sums(heard_sums, skip_frames, at, coarse, size_t(piece / coarse)));
    song_pieces.push_back(envelope_of_sums(song_sums, song_first, at + shift, coarse, heard_pieces.back().size()));
    holds_skip.push_back(skip);
    // The stretch dropped lies in this piece or the one before: neither is
    // placed whole.
    if (skip && k > 0) holds_skip[size_t(k - 1)] = true;
  }
  match->skipped_ms = 1000.0 * double(skipped) / song.rate;
  std::vector<double> heard, followed;
  for (size_t k = 0; k < heard_pieces.size(); ++k) {
    if (holds_skip[k]) continue;
    heard.insert(heard.end(), heard_pieces[k].begin(), heard_pieces[k].end());
    followed.insert(followed.end(), song_pieces[k].begin(), song_pieces[k].end());
  }
  return heard.size() >= 2 ? correlation(heard, followed, 0) : -2;
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

  // The recording's envelope against the song's at every window offset.
  double best = -2;
  size_t best_lag = 0;
  for (size_t lag = 0; lag + heard.size() <= played.size(); ++lag) {
    const double r = correlation(heard, played, lag);
    if (r > best) best = r, best_lag = lag;
  }
  // the song frame under skip_frames, and the likeness there
  const int64_t start = refine(recording, song, skip_frames, int64_t(best_lag) * window, window);
  const std::vector<double> aligned = envelope(song, start, window, start + int64_t(heard.size()) * window);
  // (a recording whose rate drifts a little from the song's may match best,
  // as a whole, a window away from where its start is placed)
  match.correlation = aligned.size() >= heard.size() ? std::max(best, correlation(heard, aligned, 0)) : best;
  // (and one whose output dropped or repeated stretches matches piece by piece)
  match.correlation = std::max(match.correlation, follow_skips(recording, song, skip_frames, start, &match));
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
