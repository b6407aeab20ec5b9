// The sound output on SDL2 audio: SDL's audio thread calls the layer's fill
// routine, under SDL's device lock.
//
// Through a sound server (SDL's PulseAudio or PipeWire driver) each buffer
// starts playing as it is filled, not one buffer later as on a device
// (sound_output.h): there a note's picture would come a buffer late.
//
// A sound server can go away under an open device (restarted, or its output
// removed): SDL then sends a removed-device event for it, but no new device
// ever appears by itself, and SDL goes on calling the removed device's
// callback, paced as if it played, until the device is closed. An event
// watch notes the removal; from then on the callback writes silence without
// calling the fill routine, so the song and its clock stand where the
// listener last heard them (within the buffer playing then). A small watcher
// thread, from open to close, looks for that note every
// SOUND_OUTPUT_WATCH_MS; once it is there, it closes the device and tries to
// open one again with the same fill routine until that works. The song state
// lives with the fill routine, so the song simply goes on where it was. The
// watcher, not the frame loop, opens: an open made while a server starts may
// block for many seconds.
//
// Close stops the watcher before it touches SDL, and waits for it, but at
// most SOUND_OUTPUT_STOP_WAIT_MS while it is inside SDL replacing the device:
// a watcher blocked inside an open is left there
// (whatever it opens later it closes again at once, never resumed), SDL's
// audio is then not shut down under it, and no new output opens until it
// has come out. The show's end relies on this: it closes the output and
// ends the process without SDL's teardown.
//
// The device in use changes only under sound_output_mutex, which the layer's
// lock holds around SDL's device lock, so a lock and its unlock always meet
// the same device; a device is paused under that mutex before it is dropped,
// so its fill routine has returned for good before anyone sees the output
// without one, and a resume never meets a device being dropped.
#include "music/sound_output.h"
#include "music/sound_platform.h"

#include <SDL.h>

#include <atomic>

namespace {

constexpr Uint32 SOUND_OUTPUT_WATCH_MS = 250;
// How long close waits for a watcher that is inside SDL's device calls;
// one that is not (asleep, or not yet run on a busy machine) ends at once
// when it runs, and close waits for it.
constexpr Uint32 SOUND_OUTPUT_STOP_WAIT_MS = 250;
constexpr Uint32 SOUND_OUTPUT_STOP_LOOK_MS = 10;

SDL_AudioDeviceID sound_output_device; // 0 while lost; changed under the mutex
sound_output_fill sound_output_filler;
SDL_AudioSpec sound_output_wanted;
int sound_output_open_count; // open, lost or not (frame thread)
std::atomic<int> sound_output_playing; // resumed: a new device starts at once
int sound_output_stopping; // set by close, under the mutex: the watcher opens nothing more
SDL_mutex *sound_output_mutex;
SDL_sem *sound_output_stop; // posted by close: the watcher ends
SDL_sem *sound_output_ended; // posted by the watcher as it ends
SDL_Thread *sound_output_watcher; // stays set while a stopped watcher is left behind
std::atomic<SDL_AudioDeviceID> sound_output_removed; // set by the event watch
std::atomic<int> sound_output_in_sdl; // the watcher is replacing the device

void sound_output_callback(void *, Uint8 *stream, int length) {
  // A removed device is still called, paced as if it played: what it is
  // handed is never heard, so the song waits.
  if (sound_output_removed.load(std::memory_order_relaxed) != 0) {
    SDL_memset(stream, 0, size_t(length));
    return;
  }
  sound_output_filler(reinterpret_cast<int16_t *>(stream), length / 4);
}

SDL_AudioDeviceID sound_output_open_device() {
  // Any note is about a device closed by now; SDL gives the next device the
  // same number.
  sound_output_removed.store(0, std::memory_order_relaxed);
  SDL_AudioSpec obtained;
  // No changes allowed: SDL converts to whatever the hardware wants.
  return SDL_OpenAudioDevice(nullptr, 0, &sound_output_wanted, &obtained, 0);
}

// Takes the device in use out of the output, paused (0: none, or another
// thread took it first).
SDL_AudioDeviceID sound_output_take_device() {
  SDL_LockMutex(sound_output_mutex);
  const SDL_AudioDeviceID device = sound_output_device;
  // Under SDL's lock: the fill routine has returned and is not called
  // again by this device.
  if (device != 0) SDL_PauseAudioDevice(device, 1);
  sound_output_device = 0;
  SDL_UnlockMutex(sound_output_mutex);
  return device;
}

// On whichever thread SDL reports the removal from.
int sound_output_note_removal(void *, SDL_Event *event) {
  if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture)
    sound_output_removed.store(event->adevice.which, std::memory_order_relaxed);
  return 1;
}

int sound_output_watch(void *) {
  while (SDL_SemWaitTimeout(sound_output_stop, SOUND_OUTPUT_WATCH_MS) == SDL_MUTEX_TIMEDOUT) {
    SDL_LockMutex(sound_output_mutex);
    const SDL_AudioDeviceID device = sound_output_device;
    SDL_UnlockMutex(sound_output_mutex);
    // Cleared at each open, so any note is about this device, whose fill
    // routine has stopped being called.
    if (device != 0 && sound_output_removed.load(std::memory_order_relaxed) == 0) continue;
    sound_output_in_sdl.store(1, std::memory_order_relaxed);
    if (device != 0) SDL_CloseAudioDevice(sound_output_take_device());
    const SDL_AudioDeviceID opened = sound_output_open_device();
    sound_output_in_sdl.store(0, std::memory_order_relaxed);
    if (opened == 0) continue; // no server yet: again at the next look
    SDL_LockMutex(sound_output_mutex);
    const int stopping = sound_output_stopping;
    if (!stopping) {
      sound_output_device = opened;
      if (sound_output_playing.load(std::memory_order_relaxed)) SDL_PauseAudioDevice(opened, 0);
    }
    SDL_UnlockMutex(sound_output_mutex);
    if (stopping) SDL_CloseAudioDevice(opened); // opened paused: never played
  }
  SDL_SemPost(sound_output_ended);
  return 0;
}

// Joins the ended watcher and gives back what it used, SDL's audio last.
void sound_output_forget_watcher() {
  if (sound_output_watcher != nullptr) SDL_WaitThread(sound_output_watcher, nullptr);
  sound_output_watcher = nullptr;
  if (sound_output_stop != nullptr) SDL_DestroySemaphore(sound_output_stop);
  if (sound_output_ended != nullptr) SDL_DestroySemaphore(sound_output_ended);
  sound_output_stop = sound_output_ended = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// Forgets a watcher left behind by close once it has ended; whether none
// is left.
int sound_output_reap_watcher() {
  if (sound_output_watcher == nullptr) return 1;
  if (SDL_SemTryWait(sound_output_ended) != 0) return 0;
  sound_output_forget_watcher();
  return 1;
}

} // namespace

int sound_output_open(int32_t mixing_rate, int32_t buffer_frames, sound_output_fill fill) {
  if (sound_output_open_count) sound_output_close();
  // A watcher still inside SDL from the last close: SDL must not be opened
  // or shut down under it.
  if (!sound_output_reap_watcher()) return 0;
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
  sound_output_stopping = 0;
  if (sound_output_mutex == nullptr) sound_output_mutex = SDL_CreateMutex();
  sound_output_stop = SDL_CreateSemaphore(0);
  sound_output_ended = SDL_CreateSemaphore(0);
  // Without threads (a browser build without them) the output is simply
  // not watched.
  if (sound_output_mutex != nullptr && sound_output_stop != nullptr && sound_output_ended != nullptr)
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
  sound_output_open_count = 0;
  int watcher_ended = 1;
  if (sound_output_watcher != nullptr) {
    SDL_DelEventWatch(sound_output_note_removal, nullptr);
    SDL_LockMutex(sound_output_mutex);
    sound_output_stopping = 1;
    SDL_UnlockMutex(sound_output_mutex);
    SDL_SemPost(sound_output_stop);
    Uint32 waited_in_sdl = 0;
    while (SDL_SemWaitTimeout(sound_output_ended, SOUND_OUTPUT_STOP_LOOK_MS) != 0) {
      if (!sound_output_in_sdl.load(std::memory_order_relaxed)) continue;
      waited_in_sdl += SOUND_OUTPUT_STOP_LOOK_MS;
      if (waited_in_sdl >= SOUND_OUTPUT_STOP_WAIT_MS) {
        watcher_ended = 0;
        break;
      }
    }
  }
  // Waits for the audio thread to end. Taken under the mutex: a watcher
  // left behind may be about to drop it too.
  const SDL_AudioDeviceID device =
      sound_output_mutex != nullptr ? sound_output_take_device() : sound_output_device;
  sound_output_device = 0;
  if (device != 0) SDL_CloseAudioDevice(device);
  // A watcher left inside SDL keeps SDL's audio up until it is reaped.
  if (watcher_ended) sound_output_forget_watcher();
}

sound_output_timing sound_output_timing_of(sound_output_heard) {
  const char *driver = SDL_GetCurrentAudioDriver();
  if (driver != nullptr && (SDL_strcmp(driver, "pulseaudio") == 0 || SDL_strcmp(driver, "pipewire") == 0))
    return SOUND_OUTPUT_PLAYS_AS_FILLED;
  return SOUND_OUTPUT_DOUBLE_BUFFERED;
}
