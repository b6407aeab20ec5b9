// The show played offline for the tools: the rendered song and its frames.
#include "tools/capture_song.h"

#include "compose/compose.h"
#include "files/data_files.h"
#include "music/music.h"
#include "show/show.h"

#include <cstdlib>

bool render_song(double seconds, const char *program, song_rendering *out, std::string *error) {
  uint8_t *data = nullptr;
  int64_t size = 0;
  const int32_t verdict = data_file_read(MUSIC_SONG_FILE, &data, &size);
  if (verdict == DATA_FILE_MISSING) {
    *error = std::string("cannot find ") + MUSIC_SONG_FILE + " here or beside " + program +
             " (run it from the show's folder)";
    return false;
  }
  if (verdict != DATA_FILE_READ) {
    *error = std::string(MUSIC_SONG_FILE) + ": " + data_file_refusal(verdict);
    return false;
  }
  // First the length (a whole pass unless asked) and the cue count, then both in full.
  int64_t asked = seconds > 0 ? int64_t(seconds * MUSIC_MIXING_RATE + 0.5) : 0;
  int32_t cue_count = 0;
  out->frames = sound_render(data, size, MUSIC_MIXING_RATE, asked, nullptr, nullptr, 0, &cue_count);
  if (out->frames > 0) {
    out->samples.resize(size_t(2 * out->frames));
    out->cues.resize(size_t(cue_count));
    sound_render(data, size, MUSIC_MIXING_RATE, out->frames, out->samples.data(), out->cues.data(),
                 cue_count, &cue_count);
  }
  std::free(data);
  if (out->frames <= 0) {
    *error = std::string(MUSIC_SONG_FILE) + " is not a song the show can play";
    return false;
  }
  return true;
}

static void apply_cue(const sound_cue &cue) {
  if (cue.instrument == CUE_INSTRUMENT_NEXT_SCENE)
    on_cue_next_scene(nullptr, 0);
  else if (cue.instrument == CUE_INSTRUMENT_LOGO)
    on_cue_logo(nullptr, 0);
  else if (cue.instrument == CUE_INSTRUMENT_CREDITS)
    on_cue_credits(nullptr, 0);
}

void capture_compose_frame(const song_rendering &song, int64_t k, int32_t fps, size_t *next_cue,
                           int64_t *composed) {
  const int64_t shown = k * FRAMES_PER_SECOND / fps;
  for (; *composed <= shown; ++*composed) {
    const int64_t time_ms = *composed * 1000 / FRAMES_PER_SECOND;
    while (*next_cue < song.cues.size() &&
           song.cues[*next_cue].sample * 1000 <= time_ms * MUSIC_MIXING_RATE)
      apply_cue(song.cues[(*next_cue)++]);
    show_compose_frame(int32_t(time_ms));
  }
}
