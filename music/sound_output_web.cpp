// The sound output in the browser: the page's sound (resources/web/sound.js)
// asks for sound on the page's own thread, from a timer, a few hundred
// milliseconds ahead of what its AudioWorklet plays, and reports how far the
// worklet has played. The sound then keeps playing while the page's thread is
// busy (slow frames, a pause), which SDL's Web Audio output, mixing between
// frames, cannot do.
//
// The program and the page share one thread: the fill routine runs only
// while the program waits for its next frame, so locking is not needed.
#include "music/sound_output.h"

#include <emscripten.h>

namespace {

// The most the page asks for at once: a second at the show's rate.
constexpr int32_t SOUND_WEB_MOST_FRAMES = 48000;

sound_output_fill sound_web_fill;
sound_output_heard sound_web_heard;
int sound_web_open;
int sound_web_resumed;
int16_t sound_web_buffer[2 * SOUND_WEB_MOST_FRAMES];

} // namespace

// The page's sound, handed to the program by the page as Module.soundOutput;
// it calls `pump` for sound, at most `most` frames at a time.
EM_JS(int, sound_web_page_open, (int32_t rate, int32_t most), {
  if (!Module['soundOutput']) return 0;
  return Module['soundOutput'].open(rate, (frames, heard) => {
    const at = _sound_output_web_pump(frames, heard);
    return at ? HEAP16.subarray(at >> 1, (at >> 1) + 2 * frames) : null;
  }, most) ? 1 : 0;
});
EM_JS(void, sound_web_page_resume, (), { Module['soundOutput'].resume(); });
EM_JS(void, sound_web_page_close, (), { Module['soundOutput'].close(); });

// Called by the page: `heard` frames have played; returns `frames` more
// (interleaved 16-bit stereo), or null while the output is paused or when
// asked for more than it holds. What has been heard is taken either way: a
// refused call must not hold the clock back.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t *sound_output_web_pump(int32_t frames, double heard) {
  if (!sound_web_open || !sound_web_resumed) return nullptr;
  sound_web_heard(int64_t(heard));
  if (frames < 0 || frames > SOUND_WEB_MOST_FRAMES) return nullptr;
  if (frames > 0) sound_web_fill(sound_web_buffer, frames);
  return sound_web_buffer;
}

int sound_output_open(int32_t mixing_rate, int32_t, sound_output_fill fill) {
  if (sound_web_open) sound_output_close();
  sound_web_fill = fill;
  sound_web_resumed = 0;
  sound_web_open = sound_web_page_open(mixing_rate, SOUND_WEB_MOST_FRAMES);
  return sound_web_open;
}

sound_output_timing sound_output_timing_of(sound_output_heard heard) {
  sound_web_heard = heard;
  return SOUND_OUTPUT_REPORTS_HEARD;
}

int sound_output_is_open() { return sound_web_open; }

void sound_output_lock() {}

void sound_output_unlock() {}

void sound_output_resume() {
  if (!sound_web_open || sound_web_resumed) return;
  sound_web_resumed = 1;
  sound_web_page_resume();
}

void sound_output_close() {
  if (!sound_web_open) return;
  sound_web_page_close();
  sound_web_open = 0;
  sound_web_resumed = 0;
}
