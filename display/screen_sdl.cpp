// The screen layer on SDL2. The "library" is SDL's video subsystem; the
// "exclusive mode" is one borderless window covering the desktop
// (SDL_WINDOW_FULLSCREEN_DESKTOP) whose renderer scales the picture to fit
// with its aspect ratio kept; a depth is available when the desktop's own
// pixel format has that many bits per pixel, so no mode switch ever happens
// and the layout reported is the desktop's. The back buffer is a streaming
// texture in that format; a flip draws it and presents with vsync, and waits
// out the refresh interval itself where the driver does not.
#include "display/screen.h"
#include "display/screen_platform.h"
#include "resources/icon.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct screen_library {
  int video_started;
};
struct screen_device {
  SDL_Renderer *renderer;
  SDL_Window *window;
  uint32_t format; // the desktop's pixel format once a mode is set
  int32_t width, height;
  int64_t refresh_interval_ns;
  int64_t last_present_ns;
};
struct screen_window {
  SDL_Window *window;
};
struct screen_surface {
  SDL_Texture *texture;
  int lost; // the renderer reported its textures gone
};

// One of each for the whole run; handles point at these.
static screen_library sdl_library;
static screen_device sdl_device;
static screen_window sdl_window;
static screen_surface sdl_chain;
static int sdl_chain_alive;

static const int64_t NANOSECONDS = 1000000000;
static const int32_t FALLBACK_REFRESH_HZ = 60;

static void discard_log(void *, int, SDL_LogPriority, const char *) {}

static int driver_draws_into_memory() {
  const char *driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr &&
         (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

static int driver_gives_focus() { return !driver_draws_into_memory(); }

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

screen_library *screen_load_library() {
  if (sdl_library.video_started) return nullptr;
  // SDL's own messages would reach stderr; the program prints nothing.
  SDL_LogSetOutputFunction(discard_log, nullptr);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "1");
  // SDL would suspend the screen saver as soon as video starts; the display
  // does that itself once it is fully open.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // The program's own main runs; SDL's entry point is not used.
  SDL_SetMainReady();
  screen_platform_quiet_begin();
  int started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  screen_platform_quiet_end();
  if (!started) return nullptr;
  if (!driver_shows_a_screen() || SDL_GetNumVideoDisplays() < 1) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  screen_platform_video_started(SDL_GetCurrentVideoDriver());
  sdl_library.video_started = 1;
  return &sdl_library;
}

void screen_unload_library(screen_library *library) {
  if (library == nullptr || !library->video_started) return;
  // A suspended screen saver is a property of the video connection; give it
  // back while that connection is still open.
  SDL_EnableScreenSaver();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  library->video_started = 0;
}

screen_device *screen_create_device(screen_library *library) {
  if (library == nullptr || !library->video_started) return nullptr;
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return nullptr;
  int32_t hz = desktop.refresh_rate > 0 ? desktop.refresh_rate : FALLBACK_REFRESH_HZ;
  sdl_device = screen_device{};
  sdl_device.refresh_interval_ns = NANOSECONDS / hz;
  return &sdl_device;
}

void screen_release_device(screen_device *device) {
  if (device == nullptr) return;
  *device = screen_device{};
}

screen_window *screen_create_window(const char *title, const char *icon_name) {
  // Even its windowed geometry covers the whole desktop, so the screen is
  // covered also where no window manager makes it fullscreen.
  SDL_Rect desktop;
  if (SDL_GetDisplayBounds(0, &desktop) != 0) return nullptr;
  // In a browser the window is the page's canvas, which the page itself
  // scales and makes fullscreen; it takes the picture's size once a mode is set.
  uint32_t flags = screen_platform_window_fills_desktop()
                       ? uint32_t(SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS)
                       : 0u;
  // A window made for the renderer SDL tries first is not destroyed and
  // made again when that renderer is created.
  SDL_RendererInfo first;
  if (SDL_GetRenderDriverInfo(0, &first) == 0 && std::strncmp(first.name, "opengl", 6) == 0)
    flags |= SDL_WINDOW_OPENGL;
  SDL_Window *window = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h, flags);
  if (window == nullptr && (flags & SDL_WINDOW_OPENGL)) // a driver without OpenGL
    window = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h,
                              flags & ~uint32_t(SDL_WINDOW_OPENGL));
  if (window == nullptr) return nullptr;
  if (const uint32_t *icon = resource_icon(icon_name, RESOURCE_ICON_LARGE)) {
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t *>(icon), RESOURCE_ICON_LARGE, RESOURCE_ICON_LARGE, 32,
        RESOURCE_ICON_LARGE * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface != nullptr) {
      SDL_SetWindowIcon(window, surface);
      SDL_FreeSurface(surface);
    }
  }
  // Drivers that draw into memory (chosen on purpose with SDL_VIDEODRIVER)
  // never give input focus; the program is all there is on such a screen,
  // so it starts active as a focused window would.
  if (!driver_gives_focus()) {
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    focus.window.windowID = SDL_GetWindowID(window);
    SDL_PushEvent(&focus);
  }
  sdl_window.window = window;
  return &sdl_window;
}

void screen_destroy_window(screen_window *window) {
  if (window == nullptr || window->window == nullptr) return;
  SDL_DestroyWindow(window->window);
  window->window = nullptr;
}

void screen_hide_cursor(screen_window *window) {
  if (window == nullptr) return;
  SDL_ShowCursor(SDL_DISABLE);
}

int screen_set_cooperative_level(screen_device *device, screen_window *window, int exclusive) {
  if (device == nullptr) return 0;
  if (!exclusive) {
    if (device->renderer != nullptr) SDL_DestroyRenderer(device->renderer);
    device->renderer = nullptr;
    device->window = nullptr;
    return 1;
  }
  if (window == nullptr || window->window == nullptr) return 0;
  if (device->renderer == nullptr) {
    screen_platform_quiet_begin();
    device->renderer = SDL_CreateRenderer(window->window, -1, SDL_RENDERER_PRESENTVSYNC);
    screen_platform_quiet_end();
    if (device->renderer == nullptr) return 0;
  }
  device->window = window->window;
  SDL_RaiseWindow(window->window);
  SDL_SetWindowInputFocus(window->window);
  return 1;
}

int screen_set_mode(screen_device *device, int32_t width, int32_t height, int32_t bits) {
  if (device == nullptr || device->renderer == nullptr) return 0;
  uint32_t format = SDL_GetWindowPixelFormat(device->window);
  if (format == SDL_PIXELFORMAT_UNKNOWN) return 0;
  if (int32_t(SDL_BYTESPERPIXEL(format)) * 8 != bits) return 0;
  if (!screen_platform_window_fills_desktop()) SDL_SetWindowSize(device->window, width, height);
  // Black bars around the picture, never stretched or cropped.
  if (SDL_RenderSetLogicalSize(device->renderer, width, height) != 0) return 0;
  device->format = format;
  device->width = width;
  device->height = height;
  return 1;
}

void screen_restore_mode(screen_device *device) {
  if (device == nullptr || device->window == nullptr) return;
  // The desktop's mode was never changed; stop covering it.
  SDL_HideWindow(device->window);
}

static int create_texture(screen_device *device) {
  sdl_chain.texture = SDL_CreateTexture(device->renderer, device->format,
                                        SDL_TEXTUREACCESS_STREAMING, device->width, device->height);
  sdl_chain.lost = 0;
  return sdl_chain.texture != nullptr;
}

screen_surface *screen_create_flip_chain(screen_device *device, int32_t back_buffer_count) {
  // The renderer keeps its own presentation buffers; any count of one or
  // two back buffers is one streaming texture here.
  if (device == nullptr || device->renderer == nullptr || device->format == 0) return nullptr;
  if (back_buffer_count < 1 || back_buffer_count > 2 || sdl_chain_alive) return nullptr;
  if (!create_texture(device)) return nullptr;
  sdl_chain_alive = 1;
  return &sdl_chain;
}

void screen_release_flip_chain(screen_surface *primary) {
  if (primary == nullptr || !sdl_chain_alive) return;
  if (primary->texture != nullptr) SDL_DestroyTexture(primary->texture);
  primary->texture = nullptr;
  sdl_chain_alive = 0;
}

screen_surface *screen_get_back_buffer(screen_surface *primary) {
  return primary != nullptr && sdl_chain_alive ? primary : nullptr;
}

int screen_get_pixel_layout(screen_surface *primary, screen_pixel_layout *layout) {
  if (primary == nullptr || !sdl_chain_alive) return 0;
  uint32_t format = sdl_device.format;
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

int screen_restore(screen_surface *primary) {
  if (primary == nullptr || !sdl_chain_alive) return 0;
  if (!primary->lost && primary->texture != nullptr) return 1;
  if (primary->texture != nullptr) SDL_DestroyTexture(primary->texture);
  primary->texture = nullptr;
  return create_texture(&sdl_device);
}

uint8_t *screen_lock(screen_surface *back, int32_t *pitch) {
  if (back == nullptr || back->texture == nullptr) return nullptr;
  void *pixels = nullptr;
  int row_bytes = 0;
  if (SDL_LockTexture(back->texture, nullptr, &pixels, &row_bytes) != 0) return nullptr;
  *pitch = row_bytes;
  return static_cast<uint8_t *>(pixels);
}

void screen_unlock(screen_surface *back) {
  if (back == nullptr || back->texture == nullptr) return;
  SDL_UnlockTexture(back->texture);
}

// With vsync a present returns at the next refresh, a whole interval after
// the previous one, and nothing is left to wait. A driver that does not pace
// presents returns at once; then the rest of the interval is slept.
static void wait_for_refresh(screen_device *device) {
  int64_t now = screen_platform_now_ns();
  int64_t due = device->last_present_ns + device->refresh_interval_ns;
  if (device->last_present_ns != 0 && now < due) {
    screen_platform_sleep_until_ns(due);
    now = due;
  }
  device->last_present_ns = now;
}

int screen_flip(screen_surface *primary) {
  if (primary == nullptr || primary->texture == nullptr || sdl_device.renderer == nullptr) return 0;
  SDL_Renderer *renderer = sdl_device.renderer;
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
  int result = SDL_RenderClear(renderer) == 0;
  result &= SDL_RenderCopy(renderer, primary->texture, nullptr, nullptr) == 0;
  SDL_RenderPresent(renderer);
  wait_for_refresh(&sdl_device);
  return result;
}

static void translate_window_event(const SDL_WindowEvent &window, screen_event *event) {
  switch (window.event) {
  case SDL_WINDOWEVENT_FOCUS_GAINED:
  case SDL_WINDOWEVENT_RESTORED:
    *event = {SCREEN_EVENT_FOCUS, 1};
    break;
  case SDL_WINDOWEVENT_FOCUS_LOST:
  case SDL_WINDOWEVENT_MINIMIZED:
    *event = {SCREEN_EVENT_FOCUS, 0};
    break;
  case SDL_WINDOWEVENT_CLOSE:
    *event = {SCREEN_EVENT_QUIT, 0};
    break;
  default:
    *event = {SCREEN_EVENT_OTHER, 0};
  }
}

int screen_next_event(screen_window *window, screen_event *event) {
  if (window == nullptr || !sdl_library.video_started) return 0;
  SDL_Event sdl;
  if (!SDL_PollEvent(&sdl)) return 0;
  switch (sdl.type) {
  case SDL_QUIT:
    *event = {SCREEN_EVENT_QUIT, 0};
    break;
  case SDL_WINDOWEVENT:
    translate_window_event(sdl.window, event);
    break;
  case SDL_KEYDOWN:
    *event = {SCREEN_EVENT_KEY_DOWN,
              sdl.key.keysym.sym == SDLK_ESCAPE ? SCREEN_KEY_ESCAPE : int32_t(sdl.key.keysym.sym)};
    break;
  case SDL_RENDER_TARGETS_RESET:
  case SDL_RENDER_DEVICE_RESET:
    // The texture's contents (or the texture) are gone; the next restore
    // makes a new one.
    sdl_chain.lost = 1;
    *event = {SCREEN_EVENT_OTHER, 0};
    break;
  default:
    *event = {SCREEN_EVENT_OTHER, 0};
  }
  return 1;
}

void screen_sleep(uint32_t milliseconds) {
  if (milliseconds == 0)
    screen_platform_yield();
  else
    SDL_Delay(milliseconds);
}

void screen_wait_event(screen_window *, uint32_t milliseconds) {
  SDL_WaitEventTimeout(nullptr, int(milliseconds));
}

void screen_suspend_screen_saver() {
  if (sdl_library.video_started) SDL_DisableScreenSaver();
}

void screen_release_screen_saver() {
  // After the library is unloaded there is nothing left to release (see
  // screen_unload_library).
  if (sdl_library.video_started) SDL_EnableScreenSaver();
}

// Ends the process without running static destructors or atexit handlers:
// the music plays on its own thread and could be inside a cue handler or the
// player while they ran. SDL_Quit first closes what SDL still has open (the
// audio device: its thread is joined, so nothing of ours runs after this),
// then _Exit ends the process. Nothing is buffered that matters: the
// program writes no output.
void screen_exit_process(int status) {
  SDL_Quit();
  std::fflush(nullptr);
  std::_Exit(status);
}
