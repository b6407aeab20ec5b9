// The real display showing one fixed frame until Escape or a close request
// ends the process; exit status 1 when the display cannot be opened. Run by
// xvfb_display_check.sh.
//   display_probe          the display alone
//   display_probe sound    also an SDL audio device whose thread keeps
//                          storing into shared state, as the music's does
//                          while the display ends the process
// With DISPLAY_PROBE_WAY=renderer or surface in the environment it first
// checks that the screen shows the picture that way (SDL's renderer, or the
// window's surface with no renderer), else says so and ends with 4.
#include "display/display.h"
#include "tests/support/test_frame.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static std::atomic<int32_t> probe_cue{0};

static void probe_audio(void *, Uint8 *stream, int length) {
  std::memset(stream, 0, size_t(length));
  probe_cue.store(probe_cue.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

static int start_sound() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  SDL_AudioSpec want{};
  want.freq = 32000;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 512;
  want.callback = probe_audio;
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (device == 0) return 0;
  SDL_PauseAudioDevice(device, 0);
  return 1;
}

static const char *way_shown() {
  for (Uint32 id = 1; id < 16; ++id)
    if (SDL_Window *window = SDL_GetWindowFromID(id))
      return SDL_GetRenderer(window) != nullptr ? "renderer" : "surface";
  return "no window";
}

int main(int argc, char **argv) {
  static std::vector<uint32_t> frame = test_frame();
  if (!display_open("QUARVELIN", TEST_FRAME_WIDTH, TEST_FRAME_HEIGHT)) return 1;
  const char *expected_way = std::getenv("DISPLAY_PROBE_WAY");
  if (expected_way != nullptr && std::strcmp(expected_way, way_shown()) != 0) {
    std::fprintf(stderr, "display_probe: shown by %s, expected %s\n", way_shown(), expected_way);
    display_close();
    return 4;
  }
  if (argc > 1 && std::strcmp(argv[1], "sound") == 0 && !start_sound()) {
    display_close();
    return 3;
  }
  for (;;) display_update(frame.data());
}
