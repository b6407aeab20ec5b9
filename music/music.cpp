// The show's music: start-up over the sound layer, and the song clock.
#include "music/music.h"

#include <chrono>

// Frame loop only: the time music_time_ms gave last.
static int64_t music_last_us;

int music_start(const music_cue_handlers *handlers, sound_song **song) {
  if (sound_version() < SOUND_MINIMUM_VERSION) return 0;
  if (!sound_init(MUSIC_MIXING_RATE, MUSIC_CHANNELS, 0)) return 0;
  *song = sound_load_song(MUSIC_SONG_FILE);
  if (*song == nullptr) {
    // The device's thread is already running; it must not outlive the
    // failure into the program's exit.
    sound_close();
    return 0;
  }
  music_last_us = 0;
  // The handlers go in once the song plays; neither result changes the show.
  sound_play_song(*song);
  sound_set_instrument_callback(*song, handlers->next_scene, CUE_INSTRUMENT_NEXT_SCENE);
  sound_set_instrument_callback(*song, handlers->logo, CUE_INSTRUMENT_LOGO);
  sound_set_instrument_callback(*song, handlers->credits, CUE_INSTRUMENT_CREDITS);
  return 1;
}

void music_run_cues(sound_song *song) { sound_run_cues(song, music_last_us); }

int64_t music_smooth_us(int64_t played_us, int64_t reported_at_ns, int64_t at_ns,
                        int64_t earliest_us) {
  const int64_t buffer_us = int64_t(SOUND_BUFFER_FRAMES) * 1000000 / MUSIC_MIXING_RATE;
  int64_t heard = played_us;
  if (reported_at_ns > 0 && at_ns > reported_at_ns) {
    const int64_t since_us = (at_ns - reported_at_ns) / 1000;
    heard += since_us < buffer_us ? since_us : buffer_us;
  }
  return heard > earliest_us ? heard : earliest_us;
}

int32_t music_time_ms(sound_song *song, int64_t ahead_ns) {
  int64_t played_us = 0, reported_at_ns = 0;
  if (!sound_song_report(song, &played_us, &reported_at_ns)) return 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t at_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() + ahead_ns;
  music_last_us = music_smooth_us(played_us, reported_at_ns, at_ns, music_last_us);
  // Wraps after 24 days, as the song's own count does.
  return int32_t(music_last_us / 1000);
}

void music_stop() { sound_close(); }
