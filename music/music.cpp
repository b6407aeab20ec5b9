// The show's music: start-up over the sound layer, and the song clock.
#include "music/music.h"

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
  // The handlers go in once the song plays; neither result changes the show.
  sound_play_song(*song);
  sound_set_instrument_callback(*song, handlers->next_scene, CUE_INSTRUMENT_NEXT_SCENE);
  sound_set_instrument_callback(*song, handlers->logo, CUE_INSTRUMENT_LOGO);
  sound_set_instrument_callback(*song, handlers->credits, CUE_INSTRUMENT_CREDITS);
  return 1;
}

int32_t music_time_ms(sound_song *song) { return sound_song_time(song); }

void music_stop() { sound_close(); }
