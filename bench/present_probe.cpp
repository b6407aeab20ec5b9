// present_probe: a preload library for measuring the show from outside.
// It wraps SDL_RenderPresent, SDL_UpdateWindowSurface and
// SDL_UpdateWindowSurfaceRects (the screen layer presents through them) and
//   - on the first call, writes the wall-clock time in nanoseconds to the
//     file named by QUARVELIN_PROBE_FILE (the time to the first frame);
//   - on every call, appends the monotonic time in nanoseconds, one line per
//     present, to the file named by QUARVELIN_PROBE_PRESENTS_FILE (the
//     intervals between presents).
// Used by scripts/measure-resources.sh and scripts/measure-pacing.sh.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

struct SDL_Renderer;
struct SDL_Window;
struct SDL_Rect;

static long long clock_ns(clockid_t clock) {
  timespec now;
  clock_gettime(clock, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

static void record_first_present() {
  static std::atomic<bool> recorded{false};
  if (recorded.exchange(true)) return;
  const long long now = clock_ns(CLOCK_REALTIME);
  if (const char *path = std::getenv("QUARVELIN_PROBE_FILE")) {
    if (FILE *file = std::fopen(path, "w")) {
      std::fprintf(file, "%lld\n", now);
      std::fclose(file);
    }
  }
}

// Line-buffered, so the log is whole up to the last present however the
// process ends.
static void record_present() {
  static FILE *log = [] {
    const char *path = std::getenv("QUARVELIN_PROBE_PRESENTS_FILE");
    FILE *file = path != nullptr ? std::fopen(path, "w") : nullptr;
    if (file != nullptr) std::setvbuf(file, nullptr, _IOLBF, 64);
    return file;
  }();
  if (log != nullptr) std::fprintf(log, "%lld\n", clock_ns(CLOCK_MONOTONIC));
}

extern "C" void SDL_RenderPresent(SDL_Renderer *renderer) {
  using present_fn = void (*)(SDL_Renderer *);
  static present_fn real_present =
      reinterpret_cast<present_fn>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
  record_first_present();
  if (real_present) real_present(renderer);
  record_present();
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window *window) {
  using update_fn = int (*)(SDL_Window *);
  static update_fn real_update =
      reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
  record_first_present();
  const int result = real_update ? real_update(window) : -1;
  record_present();
  return result;
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window *window, const SDL_Rect *rects, int count) {
  using update_fn = int (*)(SDL_Window *, const SDL_Rect *, int);
  static update_fn real_update =
      reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects"));
  record_first_present();
  const int result = real_update ? real_update(window, rects, count) : -1;
  record_present();
  return result;
}
