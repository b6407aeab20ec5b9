// The sound layer's Linux side.
#include "music/sound_platform.h"

#include <dlfcn.h>

// libasound, which SDL loads for ALSA output, reports its errors (no sound
// card, for one) on stderr unless given a handler; the show prints nothing.
// The library stays loaded, so SDL's later load gets this same instance.
static void sound_alsa_quiet(const char *, int, const char *, int, const char *, ...) {}

void sound_platform_quiet_output() {
  static void *alsa;
  if (alsa != nullptr) return;
  alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (alsa == nullptr) return;
  using error_handler = void (*)(const char *, int, const char *, int, const char *, ...);
  using set_error_handler = int (*)(error_handler);
  void *set = dlsym(alsa, "snd_lib_error_set_handler");
  if (set != nullptr) reinterpret_cast<set_error_handler>(set)(sound_alsa_quiet);
}
