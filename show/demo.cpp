// The program's entry routine: start-up in a fixed order, then the frame loop.
#include "compose/compose.h"
#include "display/display.h"
#include "music/music.h"
#include "show/show.h"

static sound_song *song;
static const music_cue_handlers show_cues = {on_cue_next_scene, on_cue_logo, on_cue_credits};
static int32_t frame_time_ms;

int demo_main() {
  if (!show_load_pictures()) return 1;
  clear_frame(frame_buffer);
  if (!display_open("QUARVELIN", FRAME_WIDTH, FRAME_HEIGHT)) return 1;
  if (!music_start(&show_cues, &song)) {
    display_close();
    return 1;
  }
  // The sound's threads stop before the process ends.
  display_set_ending(music_stop);
  for (;;) {
    // The song as heard when this frame is expected on screen.
    frame_time_ms = music_time_ms(song, display_frame_ahead_ns());
    // The cues heard by then change this frame's picture.
    music_run_cues(song);
    show_compose_frame(frame_time_ms);
    display_update(show_frame_shown());
  }
}
