// Offline rendering: the device-free path through the same player and cue
// rules the audio thread uses, for tests and tools.
#include "music/sound.h"
#include "music/sound_xmp_song.h"

#include <cstring>

int64_t sound_render(const void *data, int64_t size, int32_t mixing_rate, int64_t length,
                     int16_t *samples, sound_cue *cues, int32_t cue_capacity, int32_t *cue_count) {
  if (cue_count != nullptr) *cue_count = 0;
  if (data == nullptr || size <= 0) return -1;
  if (mixing_rate < XMP_MIN_SRATE || mixing_rate > XMP_MAX_SRATE) return -1;
  // A whole pass has no length the caller could have sized a buffer for.
  if (length <= 0 && samples != nullptr) return -1;
  int32_t verdict = SOUND_SONG_PLAYS;
  sound_song *song =
      sound_xmp_load(static_cast<const uint8_t *>(data), size, XMP_MAX_CHANNELS, &verdict);
  if (song == nullptr) return -1;
  if (!sound_xmp_start(song, mixing_rate)) {
    sound_xmp_free(song);
    return -1;
  }
  const bool whole_pass = length <= 0;
  const int64_t limit = whole_pass ? int64_t(mixing_rate) * 3600 : length;
  int64_t done = 0;
  int32_t total = 0;
  sound_cue tick_cues[XMP_MAX_CHANNELS];
  while (done < limit) {
    int32_t count = 0;
    int32_t loop_count = 0;
    if (!sound_xmp_next_tick(song, tick_cues, &count, &loop_count)) break;
    if (whole_pass && loop_count > 0) break;
    for (int32_t i = 0; i < count; ++i, ++total)
      if (cues != nullptr && total < cue_capacity) cues[total] = tick_cues[i];
    int64_t take = song->tick_frames;
    if (take > limit - done) take = limit - done;
    if (samples != nullptr) std::memcpy(samples + 2 * done, song->tick_samples, size_t(take) * 4);
    done += take;
  }
  if (samples != nullptr && !whole_pass && done < length)
    std::memset(samples + 2 * done, 0, size_t(length - done) * 4);
  if (cue_count != nullptr) *cue_count = total;
  sound_xmp_free(song);
  return done;
}

int32_t sound_check_song(const void *data, int64_t size) {
  int32_t verdict = SOUND_SONG_PLAYS;
  sound_xmp_free(
      sound_xmp_load(static_cast<const uint8_t *>(data), size, XMP_MAX_CHANNELS, &verdict));
  return verdict;
}
