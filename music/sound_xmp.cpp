// The sound layer on libxmp, played through the sound output (sound_output.h).
//
// The output's fill routine, on the output's thread, renders the song tick by
// tick just as the output asks for sound, and hands each note it triggers, in
// order, with its first frame, to a queue the frame loop empties
// (sound_run_cues): a handler runs on the frame loop's thread, for the first
// frame whose song time reaches its note. The clock counts the frames played
// out; what "played" means depends on the output:
// - double-buffered (SDL2 audio on a device): when the callback runs for
//   buffer k, buffer k - 1 starts playing, so the clock then counts the
//   frames before buffer k - 1 as played out.
// - playing each buffer as it is filled (SDL2 audio through a sound
//   server): the same, one buffer sooner: once buffer k is filled, the clock
//   counts the frames before it.
// - reporting what it played (the browser's, handed sound hundreds of
//   milliseconds ahead): the clock is the output's count.
// Either way every note up to a buffer past the clock is already queued, and
// the smoothed clock (music.h) never runs further ahead than that.
//
// Shared with the frame loop: the playing song (under the output's lock,
// which it also holds around the fill routine), each song's count of frames
// played out with the time it moved on (the time stored first, the count
// released after it: a reader that acquires a count sees its time or a
// later one, which only holds the smoothed clock back), the instrument
// callbacks (release on install, acquire on use, so whatever the installer
// set up before installing is visible to the handler) and the queue of
// notes: one writer (the fill routine) and one reader (the frame loop), each
// publishing its index with release after touching a slot, and acquiring the
// other's before touching one.
#include "files/data_files.h"
#include "music/sound.h"
#include "music/sound_output.h"
#include "music/sound_xmp_song.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint16_t SOUND_DEVICE_BUFFER_FRAMES = SOUND_BUFFER_FRAMES;
// Room for the notes of several seconds handed ahead at 64 channels and short
// ticks (a power of two, so the indices may wrap). A note that finds the
// queue full, the frame loop having stood still that long, is dropped.
constexpr uint32_t SOUND_CUE_CAPACITY = 16384;

struct sound_queued_cue {
  int64_t sample; // the note's first frame, counted from the song's start
  int32_t instrument;
};

int32_t sound_mixing_rate;
int32_t sound_channels = XMP_MAX_CHANNELS;
sound_output_timing sound_timing; // when what the output is handed plays
// Audio thread only, or under the device lock.
sound_song *sound_playing;
int64_t sound_output_frames;   // frames handed to the output since it opened
int64_t sound_song_origin;     // sound_output_frames when the playing song started
int64_t sound_handed;          // frames of the playing song handed to the output
int64_t sound_previous_buffer; // first frame of the buffer handed last
// The notes handed, not yet run, in order: slots [read, written) hold them.
sound_queued_cue sound_cue_ring[SOUND_CUE_CAPACITY];
std::atomic<uint32_t> sound_cue_written; // the fill routine's
std::atomic<uint32_t> sound_cue_read;    // the frame loop's

// Fill routine: queues one note, or drops it when the queue is full.
void sound_queue_cue(const sound_cue &cue) {
  const uint32_t written = sound_cue_written.load(std::memory_order_relaxed);
  if (written - sound_cue_read.load(std::memory_order_acquire) == SOUND_CUE_CAPACITY) return;
  sound_cue_ring[written % SOUND_CUE_CAPACITY] = {cue.sample, cue.instrument};
  sound_cue_written.store(written + 1, std::memory_order_release);
}

// The song has played out up to frame `played`: the clock moves on.
void sound_advance(sound_song *song, int64_t played) {
  if (played > song->played.load(std::memory_order_relaxed)) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    song->played_at_ns.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(),
                             std::memory_order_relaxed);
    song->played.store(played, std::memory_order_release);
  }
}

// The output's report: `frames` of what it was handed since it opened have played.
void sound_heard(int64_t frames) {
  sound_song *song = sound_playing;
  if (song == nullptr) return;
  int64_t played = frames - sound_song_origin;
  if (played < 0) played = 0;
  if (played > sound_handed) played = sound_handed;
  sound_advance(song, played);
}

// Renders the song's next tick and queues its notes; 0 when the player has stopped.
int sound_render_tick(sound_song *song) {
  sound_cue tick_cues[XMP_MAX_CHANNELS];
  int32_t tick_count = 0, loop_count = 0;
  if (!sound_xmp_next_tick(song, tick_cues, &tick_count, &loop_count)) return 0;
  for (int32_t i = 0; i < tick_count; ++i) sound_queue_cue(tick_cues[i]);
  return 1;
}

void sound_fill(int16_t *out, int32_t frames) {
  sound_output_frames += frames;
  sound_song *song = sound_playing;
  if (song == nullptr) {
    std::memset(out, 0, size_t(frames) * 4);
    return;
  }
  // Double-buffered: the buffer handed last starts playing now.
  if (sound_timing == SOUND_OUTPUT_DOUBLE_BUFFERED) sound_advance(song, sound_previous_buffer);

  int32_t filled = 0;
  while (filled < frames) {
    if (song->tick_offset == song->tick_frames && !sound_render_tick(song)) {
      // The player has stopped: silence, and the clock still runs.
      std::memset(out + 2 * filled, 0, size_t(frames - filled) * 4);
      break;
    }
    int32_t count = song->tick_frames - song->tick_offset;
    if (count > frames - filled) count = frames - filled;
    std::memcpy(out + 2 * filled, song->tick_samples + 2 * song->tick_offset, size_t(count) * 4);
    song->tick_offset += count;
    filled += count;
  }
  // The clock may reach the end of what is handed before the next fill: the
  // notes of a tick starting right there are queued now (its sound waits).
  if (song->tick_offset == song->tick_frames) sound_render_tick(song);
  sound_previous_buffer = sound_handed;
  sound_handed += frames;
  // Played as filled: this buffer starts playing now.
  if (sound_timing == SOUND_OUTPUT_PLAYS_AS_FILLED) sound_advance(song, sound_previous_buffer);
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
    // The fill routine is held off; the notes of what played before go.
    sound_cue_read.store(sound_cue_written.load(std::memory_order_relaxed), std::memory_order_release);
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

void sound_run_cues(sound_song *song, int64_t heard_us) {
  if (song == nullptr || song->mixing_rate == 0) return;
  uint32_t read = sound_cue_read.load(std::memory_order_relaxed);
  const uint32_t written = sound_cue_written.load(std::memory_order_acquire);
  for (; read != written; ++read) {
    const sound_queued_cue cue = sound_cue_ring[read % SOUND_CUE_CAPACITY];
    // Heard once the song time reaches the note's first frame.
    if (cue.sample * 1000000 > heard_us * song->mixing_rate) break;
    sound_cue_read.store(read + 1, std::memory_order_release);
    sound_instrument_callback callback =
        song->callbacks[cue.instrument].load(std::memory_order_acquire);
    if (callback != nullptr) callback(song, 0);
  }
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
    if (sound_playing == song) {
      sound_playing = nullptr;
      sound_cue_read.store(sound_cue_written.load(std::memory_order_relaxed), std::memory_order_release);
    }
    sound_output_unlock();
  }
  sound_xmp_free(song);
}

void sound_close() {
  if (!sound_output_is_open()) return;
  sound_output_close(); // the fill routine has returned for good
  sound_playing = nullptr;
}
