// present_probe: a preload library for measuring the show from outside.
// It wraps SDL_RenderPresent, SDL_UpdateWindowSurface and
// SDL_UpdateWindowSurfaceRects (the screen layer presents through them) and
//   - on the first call, writes the wall-clock time in nanoseconds to the
//     file named by QUARVELIN_PROBE_FILE (the time to the first frame);
//   - on every call, appends the monotonic time in nanoseconds, one line per
//     present, to the file named by QUARVELIN_PROBE_PRESENTS_FILE (the
//     intervals between presents);
//   - on every present of the window's own surface, appends the monotonic
//     time and the picture's mean blue (0..255, over a sparse grid) to
//     the file named by QUARVELIN_PROBE_PICTURES_FILE (when the scene
//     changes, as measure/measure-picture-sound.sh looks for it).
// Used by measure/measure-resources.sh, measure-pacing.sh, measure-scaling.sh
// and measure-picture-sound.sh.
#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

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

// Mean blue over every 8th pixel of every 8th row: the tint moves red and
// green from frame to frame and leaves blue, so a cut from one picture to
// another moves it far more than anything else does.
static void record_picture(SDL_Window *window) {
  static FILE *log = [] {
    const char *path = std::getenv("QUARVELIN_PROBE_PICTURES_FILE");
    FILE *file = path != nullptr ? std::fopen(path, "w") : nullptr;
    if (file != nullptr) std::setvbuf(file, nullptr, _IOLBF, 64);
    return file;
  }();
  if (log == nullptr) return;
  const SDL_Surface *surface = SDL_GetWindowSurface(window);
  if (surface == nullptr || surface->pixels == nullptr) return;
  const int bytes = surface->format->BytesPerPixel;
  double sum = 0;
  long count = 0;
  for (int y = 0; y < surface->h; y += 8) {
    const auto *row = static_cast<const unsigned char *>(surface->pixels) + long(y) * surface->pitch;
    for (int x = 0; x < surface->w; x += 8) {
      Uint32 pixel = 0;
      for (int b = 0; b < bytes; ++b) pixel |= Uint32(row[x * bytes + b]) << (8 * b);
      Uint8 r, g, b; // NOLINT(cppcoreguidelines-init-variables): SDL_GetRGB sets them
      SDL_GetRGB(pixel, surface->format, &r, &g, &b);
      sum += b;
      ++count;
    }
  }
  std::fprintf(log, "%lld %.2f\n", clock_ns(CLOCK_MONOTONIC), count > 0 ? sum / double(count) : 0.0);
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
  record_picture(window);
  return result;
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window *window, const SDL_Rect *rects, int count) {
  using update_fn = int (*)(SDL_Window *, const SDL_Rect *, int);
  static update_fn real_update =
      reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects"));
  record_first_present();
  const int result = real_update ? real_update(window, rects, count) : -1;
  record_present();
  record_picture(window);
  return result;
}
