// The sound layer on libxmp, played through the sound output (sound_output.h).
//
// The output's fill routine, on the output's thread, renders the song tick by
// tick just as the output asks for sound. Each note's cue waits in a queue,
// in order, until its frame plays; the clock counts the frames played out.
// What "played" means depends on the output:
// - double-buffered (SDL2 audio on a device): when the callback runs for
//   buffer k, buffer k - 1 starts playing. So the clock then counts the
//   frames before buffer k - 1 as played out, and the notes whose ticks
//   start in buffer k - 1 have their handlers called then: each handler runs
//   as its buffer starts playing, at most one buffer (512 frames, 16 ms at
//   32000 Hz) before its note's first frame is heard.
// - playing each buffer as it is filled (SDL2 audio through a sound
//   server): the same, one buffer sooner: once buffer k is filled, the clock
//   counts the frames before it and the notes whose ticks start in it have
//   their handlers called.
// - reporting what it played (the browser's, handed sound hundreds of
//   milliseconds ahead): the clock is the output's count, and a handler runs
//   once its note's first frame has played.
//
// Shared with the frame loop: the playing song (under the output's lock,
// which it also holds around the fill routine), each song's count of frames
// played out with the time it moved on (the time stored first, the count
// released after it: a reader that acquires a count sees its time or a
// later one, which only holds the smoothed clock back) and the instrument
// callbacks (release on install, acquire on use, so
// whatever the installer set up before installing is visible to the
// handler).
#include "files/data_files.h"
#include "music/sound.h"
#include "music/sound_output.h"
#include "music/sound_xmp_song.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint16_t SOUND_DEVICE_BUFFER_FRAMES = SOUND_BUFFER_FRAMES;
// Room for every note of a second of sound handed ahead at 64 channels and
// short ticks; a note that finds the queue full runs early rather than never.
constexpr int32_t SOUND_CUE_CAPACITY = 4096;

int32_t sound_mixing_rate;
int32_t sound_channels = XMP_MAX_CHANNELS;
sound_output_timing sound_timing; // when what the output is handed plays
// Audio thread only, or under the device lock.
sound_song *sound_playing;
int64_t sound_output_frames;   // frames handed to the output since it opened
int64_t sound_song_origin;     // sound_output_frames when the playing song started
int64_t sound_handed;          // frames of the playing song handed to the output
int64_t sound_previous_buffer; // first frame of the buffer handed last
sound_cue sound_due_cues[SOUND_CUE_CAPACITY]; // notes handed, not yet played, in order
int32_t sound_due_first;
int32_t sound_due_count;

void sound_call_handler(sound_song *song) {
  const sound_cue &cue = sound_due_cues[sound_due_first];
  sound_due_first = (sound_due_first + 1) % SOUND_CUE_CAPACITY;
  --sound_due_count;
  sound_instrument_callback callback =
      song->callbacks[cue.instrument].load(std::memory_order_acquire);
  if (callback != nullptr) callback(song, 0);
}

// The song has played out up to frame `played`, and the notes before frame
// `due` start playing: the clock moves on and their handlers run, in order.
void sound_advance(sound_song *song, int64_t played, int64_t due) {
  if (played > song->played.load(std::memory_order_relaxed)) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    song->played_at_ns.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(),
                             std::memory_order_relaxed);
    song->played.store(played, std::memory_order_release);
  }
  while (sound_due_count > 0 && sound_due_cues[sound_due_first].sample < due)
    sound_call_handler(song);
}

// The output's report: `frames` of what it was handed since it opened have played.
void sound_heard(int64_t frames) {
  sound_song *song = sound_playing;
  if (song == nullptr) return;
  int64_t played = frames - sound_song_origin;
  if (played < 0) played = 0;
  if (played > sound_handed) played = sound_handed;
  sound_advance(song, played, played);
}

void sound_fill(int16_t *out, int32_t frames) {
  sound_output_frames += frames;
  sound_song *song = sound_playing;
  if (song == nullptr) {
    std::memset(out, 0, size_t(frames) * 4);
    return;
  }
  // Double-buffered: the buffer handed last starts playing now.
  if (sound_timing == SOUND_OUTPUT_DOUBLE_BUFFERED) sound_advance(song, sound_previous_buffer, sound_handed);

  int32_t filled = 0;
  while (filled < frames) {
    if (song->tick_offset == song->tick_frames) {
      // A tick's notes need room for one per channel.
      while (sound_due_count + XMP_MAX_CHANNELS > SOUND_CUE_CAPACITY) sound_call_handler(song);
      sound_cue tick_cues[XMP_MAX_CHANNELS];
      int32_t tick_count = 0, loop_count = 0;
      if (!sound_xmp_next_tick(song, tick_cues, &tick_count, &loop_count)) {
        // The player has stopped: silence, and the clock still runs.
        std::memset(out + 2 * filled, 0, size_t(frames - filled) * 4);
        break;
      }
      for (int32_t i = 0; i < tick_count; ++i)
        sound_due_cues[(sound_due_first + sound_due_count++) % SOUND_CUE_CAPACITY] = tick_cues[i];
    }
    int32_t count = song->tick_frames - song->tick_offset;
    if (count > frames - filled) count = frames - filled;
    std::memcpy(out + 2 * filled, song->tick_samples + 2 * song->tick_offset, size_t(count) * 4);
    song->tick_offset += count;
    filled += count;
  }
  sound_previous_buffer = sound_handed;
  sound_handed += frames;
  // Played as filled: this buffer starts playing now.
  if (sound_timing == SOUND_OUTPUT_PLAYS_AS_FILLED) sound_advance(song, sound_previous_buffer, sound_handed);
}

} // namespace

float sound_version() {
  // 4.5.0 -> 4.5; later releases add thousandths, so newer is always larger.
  const unsigned major = (xmp_vercode >> 16) & 0xFF;
  unsigned minor = (xmp_vercode >> 8) & 0xFF;
  unsigned release = xmp_vercode & 0xFF;
  if (minor > 9) minor = 9;
  if (release > 99) release = 99;
  return float(major + minor / 10.0 + release / 1000.0);
}

int sound_init(int32_t mixing_rate, int32_t channels, uint32_t flags) {
  if (mixing_rate < XMP_MIN_SRATE || mixing_rate > XMP_MAX_SRATE) return 0;
  if (channels < 1 || channels > XMP_MAX_CHANNELS || flags != 0) return 0;
  if (sound_output_is_open()) sound_close();
  sound_output_frames = 0;
  if (!sound_output_open(mixing_rate, SOUND_DEVICE_BUFFER_FRAMES, sound_fill)) return 0;
  sound_timing = sound_output_timing_of(sound_heard);
  sound_mixing_rate = mixing_rate;
  sound_channels = channels;
  return 1;
}

sound_song *sound_load_song(const char *path) {
  if (path == nullptr) return nullptr;
  int64_t size = 0;
  uint8_t *data = nullptr;
  if (data_file_read(path, &data, &size) != DATA_FILE_READ || data == nullptr) return nullptr;
  int32_t verdict = SOUND_SONG_PLAYS;
  sound_song *song = sound_xmp_load(data, size, sound_channels, &verdict);
  std::free(data);
  return song;
}

int sound_play_song(sound_song *song) {
  if (song == nullptr || !sound_output_is_open()) return 0;
  sound_output_lock();
  sound_playing = nullptr;
  int started = sound_xmp_start(song, sound_mixing_rate);
  if (started) {
    sound_playing = song;
    sound_song_origin = sound_output_frames;
    sound_handed = 0;
    sound_previous_buffer = 0;
    sound_due_first = 0;
    sound_due_count = 0;
  }
  sound_output_unlock();
  if (started) sound_output_resume();
  return started;
}

int sound_set_instrument_callback(sound_song *song, sound_instrument_callback callback,
                                  int32_t instrument) {
  if (song == nullptr || instrument < 1 || instrument >= SOUND_INSTRUMENT_SLOTS) return 0;
  song->callbacks[instrument].store(callback, std::memory_order_release);
  return 1;
}

int32_t sound_song_time(sound_song *song) {
  if (song == nullptr || song->mixing_rate == 0) return 0;
  const int64_t frames = song->played.load(std::memory_order_relaxed);
  return int32_t(frames * 1000 / song->mixing_rate);
}

int sound_song_report(sound_song *song, int64_t *played_us, int64_t *reported_at_ns) {
  if (song == nullptr || song->mixing_rate == 0) return 0;
  const int64_t frames = song->played.load(std::memory_order_acquire);
  *reported_at_ns = song->played_at_ns.load(std::memory_order_relaxed);
  *played_us = frames * 1000000 / song->mixing_rate;
  return 1;
}

void sound_free_song(sound_song *song) {
  if (song == nullptr) return;
  if (sound_output_is_open()) {
    sound_output_lock();
    if (sound_playing == song) sound_playing = nullptr;
    sound_output_unlock();
  }
  sound_xmp_free(song);
}

void sound_close() {
  if (!sound_output_is_open()) return;
  sound_output_close(); // the fill routine has returned for good
  sound_playing = nullptr;
}
