// The sound output on SDL2 audio: SDL's audio thread calls the layer's fill
// routine, under SDL's device lock.
//
// Through a sound server (SDL's PulseAudio or PipeWire driver) each buffer
// starts playing as it is filled, not one buffer later as on a device
// (sound_output.h): there a note's picture would come a buffer late.
//
// A sound server can go away under an open device (restarted, or its output
// removed): SDL then sends a removed-device event for it, but no new device
// ever appears by itself. An event watch notes the removal, and a small
// watcher thread, from open to close, looks for that note every
// SOUND_OUTPUT_WATCH_MS; once it is there, it closes the device and tries to
// open one again with the same fill routine until that works. Until a
// removal it touches nothing of SDL's, so the process's end (SDL_Quit on
// the frame loop) does not meet it. The song state lives
// with the fill routine, so the song simply goes on where it was. The
// watcher, not the frame loop, opens: an open made while a server starts may
// block for many seconds.
//
// The device in use changes only under sound_output_mutex, which the layer's
// lock holds around SDL's device lock, so a lock and its unlock always meet
// the same device; a device is paused before it is dropped, so its fill
// routine has returned for good before anyone sees the output without one.
#include "music/sound_output.h"
#include "music/sound_platform.h"

#include <SDL.h>

#include <atomic>

namespace {

constexpr Uint32 SOUND_OUTPUT_WATCH_MS = 250;

SDL_AudioDeviceID sound_output_device; // 0 while lost; changed under the mutex
sound_output_fill sound_output_filler;
SDL_AudioSpec sound_output_wanted;
int sound_output_open_count; // open, lost or not (frame thread)
std::atomic<int> sound_output_playing; // resumed: a new device starts at once
SDL_mutex *sound_output_mutex;
SDL_sem *sound_output_stop; // posted by close: the watcher ends
SDL_Thread *sound_output_watcher;
std::atomic<SDL_AudioDeviceID> sound_output_removed; // set by the event watch

void sound_output_callback(void *, Uint8 *stream, int length) {
  sound_output_filler(reinterpret_cast<int16_t *>(stream), length / 4);
}

SDL_AudioDeviceID sound_output_open_device() {
  SDL_AudioSpec obtained;
  // No changes allowed: SDL converts to whatever the hardware wants.
  return SDL_OpenAudioDevice(nullptr, 0, &sound_output_wanted, &obtained, 0);
}

// Swaps in `device` (0: none) and returns the one it replaces.
SDL_AudioDeviceID sound_output_swap(SDL_AudioDeviceID device) {
  SDL_LockMutex(sound_output_mutex);
  const SDL_AudioDeviceID old = sound_output_device;
  sound_output_device = device;
  SDL_UnlockMutex(sound_output_mutex);
  return old;
}

// On whichever thread SDL reports the removal from.
int sound_output_note_removal(void *, SDL_Event *event) {
  if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture)
    sound_output_removed.store(event->adevice.which, std::memory_order_relaxed);
  return 1;
}

int sound_output_watch(void *) {
  while (SDL_SemWaitTimeout(sound_output_stop, SOUND_OUTPUT_WATCH_MS) == SDL_MUTEX_TIMEDOUT) {
    SDL_AudioDeviceID device = sound_output_device; // only this thread changes it now
    if (device != 0 && sound_output_removed.load(std::memory_order_relaxed) != device) continue;
    if (device != 0) {
      // SDL gives the next device the same number: the note is for this one.
      sound_output_removed.store(0, std::memory_order_relaxed);
      // Paused under SDL's lock: the fill routine has returned and is not
      // called again by this device.
      SDL_PauseAudioDevice(device, 1);
      SDL_CloseAudioDevice(sound_output_swap(0));
    }
    device = sound_output_open_device();
    if (device == 0) continue; // no server yet: again at the next look
    sound_output_swap(device);
    if (sound_output_playing.load(std::memory_order_relaxed)) SDL_PauseAudioDevice(device, 0);
  }
  return 0;
}

} // namespace

int sound_output_open(int32_t mixing_rate, int32_t buffer_frames, sound_output_fill fill) {
  if (sound_output_open_count) sound_output_close();
  sound_platform_quiet_output();
  // The program's own main runs; SDL's entry point is not used.
  SDL_SetMainReady();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  sound_output_filler = fill;
  SDL_zero(sound_output_wanted);
  sound_output_wanted.freq = mixing_rate;
  sound_output_wanted.format = AUDIO_S16SYS;
  sound_output_wanted.channels = 2;
  sound_output_wanted.samples = Uint16(buffer_frames);
  sound_output_wanted.callback = sound_output_callback;
  sound_output_device = sound_output_open_device();
  if (sound_output_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
  }
  sound_output_open_count = 1;
  sound_output_playing.store(0, std::memory_order_relaxed);
  if (sound_output_mutex == nullptr) sound_output_mutex = SDL_CreateMutex();
  sound_output_stop = SDL_CreateSemaphore(0);
  // Without threads (a browser build without them) the output is simply
  // not watched.
  if (sound_output_mutex != nullptr && sound_output_stop != nullptr)
    sound_output_watcher = SDL_CreateThread(sound_output_watch, "sound watcher", nullptr);
  if (sound_output_watcher != nullptr) SDL_AddEventWatch(sound_output_note_removal, nullptr);
  return 1;
}

int sound_output_is_open() { return sound_output_open_count; }

void sound_output_lock() {
  if (sound_output_mutex != nullptr) SDL_LockMutex(sound_output_mutex);
  SDL_LockAudioDevice(sound_output_device);
}

void sound_output_unlock() {
  SDL_UnlockAudioDevice(sound_output_device);
  if (sound_output_mutex != nullptr) SDL_UnlockMutex(sound_output_mutex);
}

void sound_output_resume() {
  sound_output_lock();
  sound_output_playing.store(1, std::memory_order_relaxed);
  SDL_PauseAudioDevice(sound_output_device, 0);
  sound_output_unlock();
}

void sound_output_close() {
  if (!sound_output_open_count) return;
  if (sound_output_watcher != nullptr) {
    SDL_DelEventWatch(sound_output_note_removal, nullptr);
    SDL_SemPost(sound_output_stop);
    SDL_WaitThread(sound_output_watcher, nullptr);
    sound_output_watcher = nullptr;
  }
  if (sound_output_stop != nullptr) SDL_DestroySemaphore(sound_output_stop);
  sound_output_stop = nullptr;
  // Waits for the audio thread to end.
  if (sound_output_device != 0) SDL_CloseAudioDevice(sound_output_device);
  sound_output_device = 0;
  sound_output_open_count = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

sound_output_timing sound_output_timing_of(sound_output_heard) {
  const char *driver = SDL_GetCurrentAudioDriver();
  if (driver != nullptr && (SDL_strcmp(driver, "pulseaudio") == 0 || SDL_strcmp(driver, "pipewire") == 0))
    return SOUND_OUTPUT_PLAYS_AS_FILLED;
  return SOUND_OUTPUT_DOUBLE_BUFFERED;
}
