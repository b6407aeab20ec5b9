// The sound layer in memory: records calls, answers as the test set it.
#include "music/sound_memory.h"

#include <cstring>

struct sound_song {
  int32_t playing;
};

namespace {

constexpr int32_t SOUND_MEMORY_MAX_CALLS = 64;
constexpr int32_t SOUND_MEMORY_INSTRUMENTS = 256;

sound_song sound_memory_the_song;
sound_memory_call sound_memory_log[SOUND_MEMORY_MAX_CALLS];
int32_t sound_memory_log_count;
sound_instrument_callback sound_memory_callbacks[SOUND_MEMORY_INSTRUMENTS];
float sound_memory_version = SOUND_MINIMUM_VERSION;
int sound_memory_init_result = 1;
int sound_memory_load_result = 1;
int32_t sound_memory_time;

sound_memory_call *sound_memory_record(sound_memory_call_kind kind) {
  static sound_memory_call overflow;
  sound_memory_call *call = sound_memory_log_count < SOUND_MEMORY_MAX_CALLS
                                ? &sound_memory_log[sound_memory_log_count++]
                                : &overflow;
  std::memset(call, 0, sizeof *call);
  call->kind = kind;
  return call;
}

} // namespace

void sound_memory_reset() {
  sound_memory_log_count = 0;
  std::memset(sound_memory_callbacks, 0, sizeof sound_memory_callbacks);
  sound_memory_the_song.playing = 0;
  sound_memory_version = SOUND_MINIMUM_VERSION;
  sound_memory_init_result = 1;
  sound_memory_load_result = 1;
  sound_memory_time = 0;
}

void sound_memory_set_version(float version) { sound_memory_version = version; }
void sound_memory_set_init_result(int result) { sound_memory_init_result = result; }
void sound_memory_set_load_result(int result) { sound_memory_load_result = result; }
void sound_memory_set_time(int32_t milliseconds) { sound_memory_time = milliseconds; }

const sound_memory_call *sound_memory_calls(int32_t *count) {
  *count = sound_memory_log_count;
  return sound_memory_log;
}

sound_song *sound_memory_song() { return &sound_memory_the_song; }

int sound_memory_fire(int32_t instrument) {
  if (instrument < 1 || instrument >= SOUND_MEMORY_INSTRUMENTS) return 0;
  sound_instrument_callback callback = sound_memory_callbacks[instrument];
  if (callback == nullptr) return 0;
  callback(&sound_memory_the_song, 0);
  return 1;
}

// Tests fire the callbacks themselves (sound_memory_fire); no note waits.
void sound_run_cues(sound_song *, int64_t) {}

float sound_version() {
  sound_memory_record(SOUND_MEMORY_VERSION);
  return sound_memory_version;
}

int sound_init(int32_t mixing_rate, int32_t channels, uint32_t flags) {
  sound_memory_call *call = sound_memory_record(SOUND_MEMORY_INIT);
  call->mixing_rate = mixing_rate;
  call->channels = channels;
  call->flags = flags;
  return sound_memory_init_result;
}

sound_song *sound_load_song(const char *path) {
  sound_memory_call *call = sound_memory_record(SOUND_MEMORY_LOAD);
  if (path != nullptr) std::strncpy(call->path, path, sizeof call->path - 1);
  return sound_memory_load_result ? &sound_memory_the_song : nullptr;
}

int sound_play_song(sound_song *song) {
  sound_memory_record(SOUND_MEMORY_PLAY)->song = song;
  if (song == nullptr) return 0;
  song->playing = 1;
  return 1;
}

int sound_set_instrument_callback(sound_song *song, sound_instrument_callback callback,
                                  int32_t instrument) {
  sound_memory_call *call = sound_memory_record(SOUND_MEMORY_SET_CALLBACK);
  call->song = song;
  call->callback = callback;
  call->instrument = instrument;
  if (song == nullptr || instrument < 1 || instrument >= SOUND_MEMORY_INSTRUMENTS) return 0;
  sound_memory_callbacks[instrument] = callback;
  return 1;
}

int32_t sound_song_time(sound_song *song) {
  sound_memory_record(SOUND_MEMORY_TIME)->song = song;
  return sound_memory_time;
}

int sound_song_report(sound_song *song, int64_t *played_us, int64_t *reported_at_ns) {
  sound_memory_record(SOUND_MEMORY_TIME)->song = song;
  *played_us = int64_t(sound_memory_time) * 1000;
  *reported_at_ns = 0;
  return song != nullptr;
}

void sound_free_song(sound_song *song) {
  if (song != nullptr) song->playing = 0;
}

void sound_close() { sound_memory_record(SOUND_MEMORY_CLOSE); }
