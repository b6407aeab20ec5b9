// sound.h - the sound layer: what the show needs from a module player.
//
// Implementations, chosen at link time:
//   sound_xmp.cpp     libxmp playing through SDL2 audio (the program's)
//   sound_memory.cpp  in memory, driven by tests (sound_memory.h)
//
// The layer plays extended modules (.xm). A song is played by the layer on
// its own thread from its start, looping at its end. Each note the song
// triggers waits in a queue, in order, with its first frame; an instrument
// callback is called for it by sound_run_cues, on the thread that calls it
// (the frame loop), once the song time given reaches that frame. Notes of
// instruments without a callback then go unheard.
//
// Which notes trigger (instruments numbered from 1, as trackers do): a cell
// with a note 1..96 triggers its instrument, or the channel's current one when
// the cell names none. A key-off, a K00 in the same cell, an instrument
// without a note, and a note with tone portamento (3xx, 5xx, volume column
// Mx) trigger nothing; neither does an instrument above the song's count. A
// note delay EDx triggers at tick x of its row, and not at all when x is not
// below the row's speed. An EDx (x from 1) in a cell without a note replays
// the channel's last triggered note, as FastTracker II does: it triggers the
// cell's instrument, or the channel's current one, at tick x; nothing when
// the channel has triggered no note yet. A pattern delay EEx does not repeat
// the row's triggers; rows played again by E6x, Bxx or Dxx trigger again.
//
// Offline rendering (sound_render) runs the same player and cue rules on a
// module held in memory, with no device; tests and tools use it. Only the
// libxmp layer offers it.
#pragma once

#include <cstdint>

struct sound_song; // opaque module handle

typedef void (*sound_instrument_callback)(sound_song *song, int32_t parameter);

// The oldest player version the layer is written for (libxmp 4.5: its frame
// numbering during pattern delays and its reading of the XM volume column are
// what the cue rules were checked against).
constexpr float SOUND_MINIMUM_VERSION = 4.5f;

// The player's version as a float (4.5 for libxmp 4.5.0).
float sound_version();
// Opens the output: mixing rate in Hz, software channels (1..64), flags (0).
// Stereo 16-bit output. 1/0.
int sound_init(int32_t mixing_rate, int32_t channels, uint32_t flags);
// Whether a module plays, or why it is refused.
enum sound_verdict : int32_t {
  SOUND_SONG_PLAYS = 0,
  SOUND_SONG_NOT_XM,            // empty, or not an extended module
  SOUND_SONG_TOO_LARGE,         // above DATA_FILE_MAX_BYTES (files/data_files.h)
  SOUND_SONG_CUT_OFF,           // the file ends before its patterns do
  SOUND_SONG_REFUSED_BY_PLAYER, // the player cannot load it
  SOUND_SONG_NOTHING_TO_PLAY,   // no sample holds sound, or no order plays
  SOUND_SONG_TOO_MANY_CHANNELS, // more channels than the output opened
};

// Loads an extended module file, read as every data file is
// (files/data_files.h); nullptr when the file is missing, is not a regular
// file, is above the size limit, or is refused (any verdict but SOUND_SONG_PLAYS). Whatever
// the player loads and can play is accepted: older format revisions, short
// song headers, files that end among instruments or inside sample data
// (what is missing stays silent).
sound_song *sound_load_song(const char *path);
// The verdict on the module in `data` (`size` bytes), as sound_render and,
// for up to 64 channels, sound_load_song give it. Needs no sound_init.
int32_t sound_check_song(const void *data, int64_t size);
// Starts playback from the beginning; the song loops by itself. Needs
// sound_init. 1/0.
int sound_play_song(sound_song *song);
// Installs `callback` for notes of `instrument` (1..255); nullptr removes it.
// May be called while the song plays. 1/0.
int sound_set_instrument_callback(sound_song *song, sound_instrument_callback callback,
                                  int32_t instrument);
// Calls, in order, the callbacks of the queued notes whose first frame is at
// or before `heard_us` microseconds of song time (as sound_song_report counts
// it), and forgets those notes. Notes reach the queue as the layer renders
// them, at least a buffer ahead of the song's clock (the whole queue is
// several seconds of the busiest song; a note that finds it full is
// dropped). Call it, and sound_play_song, from one thread.
void sound_run_cues(sound_song *song, int64_t heard_us);
// Milliseconds of the song played out since play began (up to the buffer now
// starting to play; what is mixed ahead does not count); never goes
// backwards and keeps counting across the song's loop (it wraps after 24
// days).
int32_t sound_song_time(sound_song *song);
// The same count in microseconds, and the time on the steady clock
// (std::chrono::steady_clock, nanoseconds) at which the output last moved it
// on, 0 when that is not known (the count is then as good as now). 1, or 0
// without a song.
int sound_song_report(sound_song *song, int64_t *played_us, int64_t *reported_at_ns);
// The output's buffer, in sample frames: what the layer hands the output at
// a time (16 ms at 32000 Hz).
constexpr int32_t SOUND_BUFFER_FRAMES = 512;

// Stops and releases a song, and closes the output. The program keeps its
// song and output for the whole run; music_start closes the output again
// when the song cannot be loaded.
void sound_free_song(sound_song *song);
void sound_close();

// One triggered note, as reported by the offline rendering.
struct sound_cue {
  int64_t sample;     // stereo sample frame at which the note's tick starts
  int32_t instrument; // numbered from 1
  int32_t order;      // order list position
  int32_t pattern;
  int32_t row;
  int32_t tick; // tick of the row (0 unless note-delayed)
  int32_t channel;
};

// Renders the module in `data` (`size` bytes) at `mixing_rate` Hz without any
// device. `length` stereo sample frames, or when `length` <= 0 exactly one
// pass of the song, up to where it loops (at most one hour). `samples`, when
// not null, receives the interleaved 16-bit stereo output and must hold
// 2 * length values; with a whole pass it must be null (refused otherwise).
// The first `cue_capacity` cues go to `cues`, in the order they play;
// `*cue_count` receives how many there were in all. Returns the sample
// frames rendered, or -1 when the module is refused as by sound_load_song.
int64_t sound_render(const void *data, int64_t size, int32_t mixing_rate, int64_t length,
                     int16_t *samples, sound_cue *cues, int32_t cue_capacity, int32_t *cue_count);
