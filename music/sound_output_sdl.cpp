// The sound output on SDL2 audio: SDL's audio thread calls the layer's fill
// routine, under SDL's device lock.
#include "music/sound_output.h"
#include "music/sound_platform.h"

#include <SDL.h>

namespace {

SDL_AudioDeviceID sound_output_device;
sound_output_fill sound_output_filler;

void sound_output_callback(void *, Uint8 *stream, int length) {
  sound_output_filler(reinterpret_cast<int16_t *>(stream), length / 4);
}

} // namespace

int sound_output_open(int32_t mixing_rate, int32_t buffer_frames, sound_output_fill fill) {
  if (sound_output_device != 0) sound_output_close();
  sound_platform_quiet_output();
  // The program's own main runs; SDL's entry point is not used.
  SDL_SetMainReady();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  sound_output_filler = fill;
  SDL_AudioSpec wanted;
  SDL_zero(wanted);
  wanted.freq = mixing_rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = Uint16(buffer_frames);
  wanted.callback = sound_output_callback;
  SDL_AudioSpec obtained;
  // No changes allowed: SDL converts to whatever the hardware wants.
  sound_output_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (sound_output_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
  }
  return 1;
}

int sound_output_is_open() { return sound_output_device != 0; }

void sound_output_lock() { SDL_LockAudioDevice(sound_output_device); }

void sound_output_unlock() { SDL_UnlockAudioDevice(sound_output_device); }

void sound_output_resume() { SDL_PauseAudioDevice(sound_output_device, 0); }

void sound_output_close() {
  if (sound_output_device == 0) return;
  SDL_CloseAudioDevice(sound_output_device); // waits for the audio thread to end
  sound_output_device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int sound_output_report_heard(sound_output_heard) { return 0; } // double-buffered
