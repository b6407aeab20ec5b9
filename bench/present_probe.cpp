// present_probe: a preload library for measuring the show from outside.
// It wraps SDL_RenderPresent, SDL_UpdateWindowSurface and
// SDL_UpdateWindowSurfaceRects (the screen layer presents through them) and
//   - on the first call, writes the wall-clock time in nanoseconds to the
//     file named by QUARVELIN_PROBE_FILE (the time to the first frame);
//   - on every call, appends the monotonic time in nanoseconds, one line per
//     present, to the file named by QUARVELIN_PROBE_PRESENTS_FILE (the
//     intervals between presents);
//   - on every present of the window's own surface, appends the monotonic
//     time and the picture's mean blue (0..255) in each cell of a 4 x 4 grid to
//     the file named by QUARVELIN_PROBE_PICTURES_FILE (when the scene
//     changes, as measure/measure-picture-sound.sh looks for it);
//   - on every present, appends the monotonic time and a hash of the picture
//     handed to SDL (the streaming texture as last unlocked, or the window's
//     surface) to the file named by QUARVELIN_PROBE_HASHES_FILE: distinct
//     pictures and how many presents each is shown for
//     (measure/measure-refresh-rates.sh).
// Used by measure/measure-resources.sh, measure-pacing.sh, measure-scaling.sh,
// measure-picture-sound.sh and measure-refresh-rates.sh.
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

static FILE *open_log(const char *variable) {
  const char *path = std::getenv(variable);
  FILE *file = path != nullptr ? std::fopen(path, "w") : nullptr;
  if (file != nullptr) std::setvbuf(file, nullptr, _IOLBF, 64);
  return file;
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
  static FILE *log = open_log("QUARVELIN_PROBE_PRESENTS_FILE");
  if (log != nullptr) std::fprintf(log, "%lld\n", clock_ns(CLOCK_MONOTONIC));
}

// Mean blue of each cell of a 4 x 4 grid, over every 8th pixel of every 8th
// row: the tint moves red and green from frame to frame and leaves blue, so
// a cut from one picture to another moves the cells far more than anything
// else does, even between two pictures of about the same overall gray.
constexpr int PICTURE_GRID = 4;
static void record_picture(SDL_Window *window) {
  static FILE *log = open_log("QUARVELIN_PROBE_PICTURES_FILE");
  if (log == nullptr) return;
  const SDL_Surface *surface = SDL_GetWindowSurface(window);
  if (surface == nullptr || surface->pixels == nullptr || surface->w <= 0 || surface->h <= 0) return;
  const int bytes = surface->format->BytesPerPixel;
  double sums[PICTURE_GRID * PICTURE_GRID] = {};
  long counts[PICTURE_GRID * PICTURE_GRID] = {};
  for (int y = 0; y < surface->h; y += 8) {
    const auto *row = static_cast<const unsigned char *>(surface->pixels) + long(y) * surface->pitch;
    for (int x = 0; x < surface->w; x += 8) {
      Uint32 pixel = 0;
      for (int b = 0; b < bytes; ++b) pixel |= Uint32(row[x * bytes + b]) << (8 * b);
      Uint8 r, g, b; // NOLINT(cppcoreguidelines-init-variables): SDL_GetRGB sets them
      SDL_GetRGB(pixel, surface->format, &r, &g, &b);
      const int cell = y * PICTURE_GRID / surface->h * PICTURE_GRID + x * PICTURE_GRID / surface->w;
      sums[cell] += b;
      ++counts[cell];
    }
  }
  std::fprintf(log, "%lld", clock_ns(CLOCK_MONOTONIC));
  for (int cell = 0; cell < PICTURE_GRID * PICTURE_GRID; ++cell)
    std::fprintf(log, " %.2f", counts[cell] > 0 ? sums[cell] / double(counts[cell]) : 0.0);
  std::fprintf(log, "\n");
}

static FILE *hash_log() {
  static FILE *log = open_log("QUARVELIN_PROBE_HASHES_FILE");
  return log;
}

// FNV-1a over every 4th pixel of every 4th row (the noise's blocks are 8 x 8,
// so every block counts, and the tint moves every pixel).
static unsigned long long hash_pixels(const void *pixels, int pitch, int width, int height,
                                      int bytes_per_pixel) {
  unsigned long long hash = 14695981039346656037ULL;
  for (int y = 0; y < height; y += 4) {
    const auto *row = static_cast<const unsigned char *>(pixels) + long(y) * pitch;
    for (int x = 0; x < width; x += 4)
      for (int b = 0; b < bytes_per_pixel; ++b) {
        hash ^= row[x * bytes_per_pixel + b];
        hash *= 1099511628211ULL;
      }
  }
  return hash;
}

// The streaming texture as it was last unlocked: what the next present shows.
static unsigned long long texture_hash;
static void *locked_pixels;
static int locked_pitch, locked_width, locked_height, locked_bytes;

static void record_hash(unsigned long long hash) {
  if (FILE *log = hash_log())
    std::fprintf(log, "%lld %016llx\n", clock_ns(CLOCK_MONOTONIC), hash);
}

extern "C" int SDL_LockTexture(SDL_Texture *texture, const SDL_Rect *rect, void **pixels,
                               int *pitch) {
  using lock_fn = int (*)(SDL_Texture *, const SDL_Rect *, void **, int *);
  static lock_fn real_lock = reinterpret_cast<lock_fn>(dlsym(RTLD_NEXT, "SDL_LockTexture"));
  const int result = real_lock ? real_lock(texture, rect, pixels, pitch) : -1;
  Uint32 format = 0;
  locked_pixels = nullptr;
  if (result == 0 && rect == nullptr &&
      SDL_QueryTexture(texture, &format, nullptr, &locked_width, &locked_height) == 0) {
    locked_pixels = *pixels;
    locked_pitch = *pitch;
    locked_bytes = SDL_BYTESPERPIXEL(format);
  }
  return result;
}

extern "C" void SDL_UnlockTexture(SDL_Texture *texture) {
  using unlock_fn = void (*)(SDL_Texture *);
  static unlock_fn real_unlock = reinterpret_cast<unlock_fn>(dlsym(RTLD_NEXT, "SDL_UnlockTexture"));
  if (locked_pixels != nullptr && hash_log() != nullptr)
    texture_hash =
        hash_pixels(locked_pixels, locked_pitch, locked_width, locked_height, locked_bytes);
  locked_pixels = nullptr;
  if (real_unlock) real_unlock(texture);
}

static void record_surface_hash(SDL_Window *window) {
  if (hash_log() == nullptr) return;
  const SDL_Surface *surface = SDL_GetWindowSurface(window);
  if (surface == nullptr || surface->pixels == nullptr) return;
  record_hash(hash_pixels(surface->pixels, surface->pitch, surface->w, surface->h,
                          surface->format->BytesPerPixel));
}

extern "C" void SDL_RenderPresent(SDL_Renderer *renderer) {
  using present_fn = void (*)(SDL_Renderer *);
  static present_fn real_present =
      reinterpret_cast<present_fn>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
  record_first_present();
  if (real_present) real_present(renderer);
  record_present();
  record_hash(texture_hash);
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window *window) {
  using update_fn = int (*)(SDL_Window *);
  static update_fn real_update =
      reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
  record_first_present();
  const int result = real_update ? real_update(window) : -1;
  record_present();
  record_picture(window);
  record_surface_hash(window);
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
  record_surface_hash(window);
  return result;
}
