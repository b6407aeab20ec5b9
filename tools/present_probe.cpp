// present_probe: a preload library for measuring the show from outside.
// It wraps SDL_RenderPresent and, on the first call, writes the wall-clock
// time in nanoseconds to the file named by QUARVELIN_PROBE_FILE. Used by
// scripts/measure-resources.sh for the time to the first presented frame.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

struct SDL_Renderer;

extern "C" void SDL_RenderPresent(SDL_Renderer *renderer) {
  using present_fn = void (*)(SDL_Renderer *);
  static present_fn real_present = reinterpret_cast<present_fn>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
  static std::atomic<bool> recorded{false};
  if (!recorded.exchange(true)) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (const char *path = std::getenv("QUARVELIN_PROBE_FILE")) {
      if (FILE *file = std::fopen(path, "w")) {
        std::fprintf(file, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fclose(file);
      }
    }
  }
  if (real_present) real_present(renderer);
}
