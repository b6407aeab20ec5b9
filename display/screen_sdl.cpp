// The screen layer on SDL2: one borderless window covering the desktop
// (SDL_WINDOW_FULLSCREEN_DESKTOP) showing the picture scaled to fit with its
// aspect ratio kept. No mode switch ever happens; the back buffer is in the
// desktop's own pixel format, and that is the layout reported. Two ways to
// scale, chosen at open:
//   - where a GPU scales (an accelerated renderer that is not a software
//     rasteriser), the back buffer is a streaming texture the renderer draws;
//   - otherwise scaling on the processor through SDL's renderer costs far more
//     than composing the frame, so the back buffer is a plain buffer and each
//     present scales its rows straight into the window's own surface
//     (scale.h), which SDL hands to the window system as it is.
// QUARVELIN_SCALE_BY_RENDERER=1 in the environment forces the renderer's way
// (for tests on servers that have no GPU). Presents are paced as pace.h says:
// 60 composed frames a second, each presented at every refresh it covers
// where presenting waits for the display, otherwise slept out.
#include "display/pace.h"
#include "display/scale.h"
#include "display/screen.h"
#include "display/screen_platform.h"
#include "resources/icon.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int64_t NANOSECONDS = 1000000000;

static int sdl_video_started;
static SDL_Window *sdl_window;
static SDL_Renderer *sdl_renderer;
static SDL_Texture *sdl_texture;
static uint32_t sdl_format;
static int32_t sdl_width, sdl_height;
static int sdl_texture_lost; // the renderer reported its textures gone
static int sdl_locked;

// Scaling on the processor into the window's surface.
static int scale_by_processor;
static uint8_t *scale_picture_pixels; // the back buffer, sdl_width x sdl_height
static int32_t scale_picture_pitch;
static uint32_t scale_bytes_per_pixel;
// The window surface the placement and the bars were made for; a new one
// (the window changed size) gets them again.
static SDL_Surface *scale_surface;
static int32_t scale_surface_width, scale_surface_height;
static int scale_surface_changed;
static int scale_bars_unshown; // the bars are new: the next present shows the whole surface
static scale_placement scale_place;

// ---- opening ----

static void discard_log(void *, int, SDL_LogPriority, const char *) {}

static int driver_draws_into_memory() {
  const char *driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr &&
         (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// SDL falls back to drivers that draw into memory and show nothing
// ("offscreen", "dummy") when it finds no display. That is no display for
// us, unless SDL was told to use exactly that driver.
static int driver_shows_a_screen() {
  const char *driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr) return 0;
  if (!driver_draws_into_memory()) return 1;
  const char *requested = SDL_getenv("SDL_VIDEODRIVER");
  return requested != nullptr && SDL_strcasecmp(requested, driver) == 0;
}

static int start_video() {
  // SDL's own messages would reach stderr; the program prints nothing.
  SDL_LogSetOutputFunction(discard_log, nullptr);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // A window surface is the window system's own memory, never a hidden
  // OpenGL texture (which on a software rasteriser costs what it saves).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "1");
  // SDL would suspend the screen saver as soon as video starts; the display
  // does that itself once it is fully open.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // The program's own main runs; SDL's entry point is not used.
  SDL_SetMainReady();
  screen_platform_quiet_begin();
  int started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  screen_platform_quiet_end();
  if (!started) return 0;
  sdl_video_started = 1;
  if (!driver_shows_a_screen() || SDL_GetNumVideoDisplays() < 1) return 0;
  screen_platform_video_started(SDL_GetCurrentVideoDriver());
  return 1;
}

static void set_window_icon(const char *icon_name) {
  const uint32_t *icon = resource_icon(icon_name, RESOURCE_ICON_LARGE);
  if (icon == nullptr) return;
  SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint32_t *>(icon), RESOURCE_ICON_LARGE, RESOURCE_ICON_LARGE, 32,
      RESOURCE_ICON_LARGE * 4, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(sdl_window, surface);
  SDL_FreeSurface(surface);
}

static int create_window(const char *title, const char *icon_name) {
  // Even its windowed geometry covers the whole desktop, so the screen is
  // covered also where no window manager makes it fullscreen.
  SDL_Rect desktop;
  if (SDL_GetDisplayBounds(0, &desktop) != 0) return 0;
  // In a browser the window is the page's canvas, which the page itself
  // scales and makes fullscreen; it takes the picture's size once open.
  uint32_t flags = screen_platform_window_fills_desktop()
                       ? uint32_t(SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS)
                       : 0u;
  // A window made for the renderer SDL tries first is not destroyed and
  // made again when that renderer is created.
  SDL_RendererInfo first;
  if (SDL_GetRenderDriverInfo(0, &first) == 0 && std::strncmp(first.name, "opengl", 6) == 0)
    flags |= SDL_WINDOW_OPENGL;
  sdl_window = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h, flags);
  if (sdl_window == nullptr && (flags & SDL_WINDOW_OPENGL)) // a driver without OpenGL
    sdl_window = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h,
                                  flags & ~uint32_t(SDL_WINDOW_OPENGL));
  if (sdl_window == nullptr) return 0;
  set_window_icon(icon_name);
  SDL_ShowCursor(SDL_DISABLE);
  // Drivers that draw into memory (chosen on purpose with SDL_VIDEODRIVER)
  // never give input focus; the program is all there is on such a screen,
  // so it starts active as a focused window would.
  if (driver_draws_into_memory()) {
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    focus.window.windowID = SDL_GetWindowID(sdl_window);
    SDL_PushEvent(&focus);
  }
  return 1;
}

static int create_texture() {
  sdl_texture = SDL_CreateTexture(sdl_renderer, sdl_format, SDL_TEXTUREACCESS_STREAMING, sdl_width,
                                  sdl_height);
  sdl_texture_lost = 0;
  return sdl_texture != nullptr;
}

static int read_layout(uint32_t format, screen_pixel_layout *layout) {
  int bpp = 0;
  Uint32 red = 0, green = 0, blue = 0, alpha = 0;
  if (!SDL_PixelFormatEnumToMasks(format, &bpp, &red, &green, &blue, &alpha)) return 0;
  layout->flags =
      SDL_ISPIXELFORMAT_INDEXED(format) || SDL_ISPIXELFORMAT_FOURCC(format) ? 0 : SCREEN_LAYOUT_RGB;
  layout->bits = SDL_BYTESPERPIXEL(format) * 8u;
  layout->red_mask = red;
  layout->green_mask = green;
  layout->blue_mask = blue;
  return 1;
}

// Whether the renderer scales on a GPU: accelerated, and for OpenGL not one
// of the rasterisers that run on the processor.
static int renderer_scales_on_gpu() {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(sdl_renderer, &info) != 0) return 0;
  if (!(info.flags & SDL_RENDERER_ACCELERATED) || std::strcmp(info.name, "software") == 0)
    return 0;
  if (std::strncmp(info.name, "opengl", 6) != 0) return 1;
  typedef const GLubyte *(APIENTRY * get_string_fn)(GLenum);
  auto get_string = reinterpret_cast<get_string_fn>(SDL_GL_GetProcAddress("glGetString"));
  if (get_string == nullptr) return 1;
  const char *name = reinterpret_cast<const char *>(get_string(GL_RENDERER));
  if (name == nullptr) return 1;
  static const char *const SOFTWARE_RASTERISERS[] = {"llvmpipe", "softpipe",
                                                     "Software Rasterizer", "SWR"};
  for (const char *software : SOFTWARE_RASTERISERS)
    if (std::strstr(name, software) != nullptr) return 0;
  return 1;
}

static int renderer_forced() {
  const char *forced = SDL_getenv("QUARVELIN_SCALE_BY_RENDERER");
  return forced != nullptr && std::strcmp(forced, "1") == 0;
}

// The window's surface in place of the renderer, with a back buffer of the
// picture's size in the surface's layout. 0 when the window has no surface
// (the renderer is gone then too).
static int open_window_surface(screen_pixel_layout *layout) {
  SDL_DestroyRenderer(sdl_renderer);
  sdl_renderer = nullptr;
  SDL_Surface *surface = SDL_GetWindowSurface(sdl_window);
  if (surface == nullptr) return 0;
  sdl_format = surface->format->format;
  if (!read_layout(sdl_format, layout)) return 0;
  scale_bytes_per_pixel = surface->format->BytesPerPixel;
  scale_picture_pitch = sdl_width * int32_t(scale_bytes_per_pixel);
  scale_picture_pixels =
      static_cast<uint8_t *>(SDL_calloc(size_t(sdl_height), size_t(scale_picture_pitch)));
  scale_surface = nullptr; // placement and bars at the first present
  return scale_picture_pixels != nullptr;
}

// SDL reports the refresh in whole hertz, or 0 when it does not know; the
// pacing measures it from the presents where they wait for it.
static void reset_pacing() {
  SDL_DisplayMode desktop;
  int64_t interval = 0;
  if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.refresh_rate > 0)
    interval = NANOSECONDS / desktop.refresh_rate;
  pace_start(interval);
}

static int create_renderer() {
  screen_platform_quiet_begin();
  sdl_renderer = SDL_CreateRenderer(sdl_window, -1, SDL_RENDERER_PRESENTVSYNC);
  screen_platform_quiet_end();
  return sdl_renderer != nullptr;
}

// A Wayland compositor maps a window, and so can focus it, only once it has
// shown a buffer; the display presents only while it has the focus. One
// black frame at open breaks that circle (through XWayland too, where focus
// given at open is taken back before anything is shown); elsewhere it is
// simply the black the window starts with.
static int present_black() {
  if (scale_by_processor) {
    SDL_Surface *surface = SDL_GetWindowSurface(sdl_window);
    if (surface == nullptr) return 0;
    SDL_FillRect(surface, nullptr, 0);
    return SDL_UpdateWindowSurface(sdl_window) == 0;
  }
  SDL_SetRenderDrawColor(sdl_renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
  if (SDL_RenderClear(sdl_renderer) != 0) return 0;
  SDL_RenderPresent(sdl_renderer);
  return 1;
}

int screen_open(const char *title, const char *icon_name, int32_t width, int32_t height,
                screen_pixel_layout *layout) {
  if (sdl_video_started) return 0; // one screen per process
  if (!start_video()) return 0;
  if (!create_window(title, icon_name)) return 0;
  if (!create_renderer()) return 0;
  SDL_RaiseWindow(sdl_window);
  SDL_SetWindowInputFocus(sdl_window);
  if (!screen_platform_window_fills_desktop()) SDL_SetWindowSize(sdl_window, width, height);
  sdl_width = width;
  sdl_height = height;
  reset_pacing();

  scale_by_processor = !renderer_scales_on_gpu() && !renderer_forced();
  if (scale_by_processor) {
    if (open_window_surface(layout)) return present_black();
    // A video driver without window surfaces: the renderer after all.
    scale_by_processor = 0;
    SDL_free(scale_picture_pixels);
    scale_picture_pixels = nullptr;
    if (!create_renderer()) return 0;
  }
  sdl_format = SDL_GetWindowPixelFormat(sdl_window);
  if (sdl_format == SDL_PIXELFORMAT_UNKNOWN || !read_layout(sdl_format, layout)) return 0;
  // Black bars around the picture, never stretched or cropped.
  if (SDL_RenderSetLogicalSize(sdl_renderer, width, height) != 0) return 0;
  return create_texture() && present_black();
}

// ---- frames ----

uint8_t *screen_lock(int32_t *pitch) {
  if (sdl_locked) return nullptr;
  if (scale_by_processor) {
    if (scale_picture_pixels == nullptr) return nullptr;
    sdl_locked = 1;
    *pitch = scale_picture_pitch;
    return scale_picture_pixels;
  }
  if (sdl_renderer == nullptr) return nullptr;
  if (sdl_texture_lost || sdl_texture == nullptr) {
    if (sdl_texture != nullptr) SDL_DestroyTexture(sdl_texture);
    sdl_texture = nullptr;
    if (!create_texture()) return nullptr;
  }
  void *pixels = nullptr;
  int row_bytes = 0;
  if (SDL_LockTexture(sdl_texture, nullptr, &pixels, &row_bytes) != 0) return nullptr;
  sdl_locked = 1;
  *pitch = row_bytes;
  return static_cast<uint8_t *>(pixels);
}

// A new surface (first present, or the window changed size): where the
// picture goes, and black bars, written once here and left alone by every
// later present.
static void place_on_surface(SDL_Surface *surface) {
  scale_place = scale_fit(sdl_width, sdl_height, surface->w, surface->h);
  scale_fill_bars(scale_place, scale_bytes_per_pixel, surface->w, surface->h,
                  static_cast<uint8_t *>(surface->pixels), surface->pitch);
  scale_surface = surface;
  scale_surface_width = surface->w;
  scale_surface_height = surface->h;
  scale_surface_changed = 0;
  scale_bars_unshown = 1;
}

static int draw_into_window_surface() {
  SDL_Surface *surface = SDL_GetWindowSurface(sdl_window);
  if (surface == nullptr || surface->format->BytesPerPixel != scale_bytes_per_pixel) return 0;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return 0;
  if (surface != scale_surface || surface->w != scale_surface_width ||
      surface->h != scale_surface_height || scale_surface_changed)
    place_on_surface(surface);
  const int drawn = scale_picture(scale_picture_pixels, sdl_width, sdl_height, scale_picture_pitch,
                                  scale_bytes_per_pixel, scale_place,
                                  static_cast<uint8_t *>(surface->pixels), surface->pitch);
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  return drawn;
}

// The texture drawn into the renderer's back buffer; also again for each
// refresh a picture is held over (the texture still holds it: nothing locked
// it since).
static int draw_texture() {
  SDL_SetRenderDrawColor(sdl_renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
  int result = SDL_RenderClear(sdl_renderer) == 0;
  result &= SDL_RenderCopy(sdl_renderer, sdl_texture, nullptr, nullptr) == 0;
  // The drawing runs now, so that only showing it may wait.
  SDL_RenderFlush(sdl_renderer);
  return result;
}

static int draw_with_renderer() {
  if (sdl_texture == nullptr) return 0;
  SDL_UnlockTexture(sdl_texture);
  return draw_texture();
}

// Only the picture changes from one present to the next; the bars are sent
// to the window system once.
static int show_drawn() {
  if (scale_by_processor && scale_bars_unshown) {
    scale_bars_unshown = 0;
    return SDL_UpdateWindowSurface(sdl_window) == 0;
  }
  if (scale_by_processor) {
    const SDL_Rect picture{scale_place.left, scale_place.top, scale_place.width,
                           scale_place.height};
    return SDL_UpdateWindowSurfaceRects(sdl_window, &picture, 1) == 0;
  }
  SDL_RenderPresent(sdl_renderer);
  return 1;
}

// Presents the new frame, then again at each refresh it is held over, until
// the next frame is to be composed.
int screen_present() {
  if (!sdl_locked || (!scale_by_processor && sdl_renderer == nullptr)) return 0;
  sdl_locked = 0;
  int result = scale_by_processor ? draw_into_window_surface() : draw_with_renderer();
  if (screen_platform_times_frames()) {
    result &= show_drawn();
    screen_platform_yield();
    return result;
  }
  int slept = 0;
  for (;;) {
    const int64_t called = screen_platform_now_ns();
    result &= show_drawn();
    int64_t sleep_until = 0;
    const int32_t step = pace_after_present(called, screen_platform_now_ns(), &sleep_until);
    if (sleep_until != 0) {
      screen_platform_sleep_until_ns(sleep_until);
      slept = 1;
    }
    if (step == PACE_COMPOSE || !result) break;
    // Held over a refresh: the window's surface still holds the picture.
    if (!scale_by_processor) result &= draw_texture();
  }
  // Nothing slept: let others run (in a browser the page draws the canvas
  // and plays the sound only while the program waits).
  if (!slept) screen_platform_yield();
  return result;
}

// Where the system times the frames, each is composed at the paint that shows it.
int64_t screen_frame_ahead_ns() {
  return screen_platform_times_frames() ? 0 : pace_frame_ahead_ns(screen_platform_now_ns());
}

// ---- events ----

static screen_event translate_window_event(const SDL_WindowEvent &window) {
  switch (window.event) {
  case SDL_WINDOWEVENT_FOCUS_GAINED:
  case SDL_WINDOWEVENT_RESTORED:
    return {SCREEN_EVENT_FOCUS, 1};
  case SDL_WINDOWEVENT_FOCUS_LOST:
  case SDL_WINDOWEVENT_MINIMIZED:
    return {SCREEN_EVENT_FOCUS, 0};
  case SDL_WINDOWEVENT_CLOSE:
    return {SCREEN_EVENT_QUIT, 0};
  case SDL_WINDOWEVENT_SIZE_CHANGED:
    scale_surface_changed = 1; // bars and placement again at the next present
    return {SCREEN_EVENT_OTHER, 0};
  default:
    return {SCREEN_EVENT_OTHER, 0};
  }
}

int screen_next_event(screen_event *event) {
  if (!sdl_video_started) return 0;
  SDL_Event sdl;
  if (!SDL_PollEvent(&sdl)) return 0;
  switch (sdl.type) {
  case SDL_QUIT:
    *event = {SCREEN_EVENT_QUIT, 0};
    break;
  case SDL_WINDOWEVENT:
    *event = translate_window_event(sdl.window);
    break;
  case SDL_KEYDOWN:
    *event = {SCREEN_EVENT_KEY_DOWN,
              sdl.key.keysym.sym == SDLK_ESCAPE ? SCREEN_KEY_ESCAPE : int32_t(sdl.key.keysym.sym)};
    break;
  case SDL_RENDER_TARGETS_RESET:
  case SDL_RENDER_DEVICE_RESET:
    // The texture's contents (or the texture) are gone; the next lock makes
    // a new one.
    sdl_texture_lost = 1;
    *event = {SCREEN_EVENT_OTHER, 0};
    break;
  default:
    *event = {SCREEN_EVENT_OTHER, 0};
  }
  return 1;
}

void screen_wait_event(uint32_t milliseconds) {
  if (!sdl_video_started) return;
  SDL_WaitEventTimeout(nullptr, int(milliseconds));
}

void screen_keep_awake(int awake) {
  if (!sdl_video_started) return;
  if (awake)
    SDL_DisableScreenSaver();
  else
    SDL_EnableScreenSaver();
}

// ---- closing ----

void screen_close() {
  if (sdl_texture != nullptr) SDL_DestroyTexture(sdl_texture);
  sdl_texture = nullptr;
  sdl_locked = 0;
  SDL_free(scale_picture_pixels);
  scale_picture_pixels = nullptr;
  scale_surface = nullptr;
  scale_by_processor = 0;
  if (sdl_renderer != nullptr) SDL_DestroyRenderer(sdl_renderer);
  sdl_renderer = nullptr;
  if (sdl_window != nullptr) SDL_DestroyWindow(sdl_window);
  sdl_window = nullptr;
  if (!sdl_video_started) return;
  // A suspended screen saver is a property of the video connection; give it
  // back while that connection is still open.
  SDL_EnableScreenSaver();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  sdl_video_started = 0;
}

// Ends the process without running static destructors or atexit handlers:
// the music plays on its own thread and could be inside a cue handler or the
// player while they ran. SDL is not shut down here: the screen was given
// back by screen_close, the sound by its own layer (display_set_ending), and
// SDL's shutdown of its audio would run under a sound thread left blocked
// inside SDL. Nothing is buffered that matters: the program writes no output.
void screen_exit_process(int status) {
  std::fflush(nullptr);
  std::_Exit(status);
}
