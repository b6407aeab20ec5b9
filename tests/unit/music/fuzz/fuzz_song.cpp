// Any bytes as a song: the verdict, then two seconds of rendering with the
// cues found on the way, as the show's sound thread would produce them.
#include "music/sound.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  constexpr int32_t RATE = 32000;
  constexpr int64_t FRAMES = 2 * RATE;
  if (sound_check_song(data, int64_t(size)) != SOUND_SONG_PLAYS) return 0;
  static std::vector<int16_t> samples(2 * FRAMES);
  sound_cue cues[256];
  int32_t count = 0;
  const int64_t rendered =
      sound_render(data, int64_t(size), RATE, FRAMES, samples.data(), cues, 256, &count);
  // Whatever plays stays within what was asked, and its cues within what played.
  if (rendered < 0 || rendered > FRAMES || count < 0) __builtin_trap();
  for (int32_t i = 0; i < count && i < 256; ++i)
    if (cues[i].sample < 0 || cues[i].sample >= rendered || cues[i].instrument < 1)
      __builtin_trap();
  return 0;
}
