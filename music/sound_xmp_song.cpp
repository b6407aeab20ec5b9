// The libxmp layer's song: an extended module loaded into a libxmp context
// and rendered tick by tick, with the notes each tick triggers found from the
// player's own position and the row's events. Following the player's
// reported order, row and tick (rather than walking the patterns ourselves)
// makes jumps, breaks, loops and delays exactly the ones that are heard.
#include "music/sound_xmp_song.h"

#include "files/data_files.h"
#include "music/xm_layout.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The player keeps an extended module's effect numbers as the file stores
// them (xm_layout.h), but numbers notes one octave above the file: C-0
// (file note 1) is 13.
constexpr uint8_t PLAYER_FIRST_NOTE = 1 + 12;
constexpr uint8_t PLAYER_LAST_NOTE = XM_LAST_NOTE + 12;
// What of an instrument's header must be there to find its samples: up to
// and with the sample header size.
constexpr int64_t INSTRUMENT_HEADER_NEEDED = XM_INSTRUMENT_SHORT_HEADER_BYTES + 4;

uint32_t read_u16(const uint8_t *at) { return uint32_t(at[0]) | uint32_t(at[1]) << 8; }
uint32_t read_u32(const uint8_t *at) { return read_u16(at) | read_u16(at + 2) << 16; }

bool is_tone_portamento(uint8_t effect) {
  return effect == XM_EFFECT_TONE_PORTAMENTO || effect == XM_EFFECT_TONE_PORTAMENTO_VOLUME_SLIDE;
}

void add_cue(sound_song *song, const xmp_frame_info &info, int32_t channel, int32_t instrument,
             sound_cue *cues, int32_t *cue_count) {
  cues[*cue_count] = {song->rendered, instrument, info.pos, info.pattern,
                      info.row,       info.frame, channel};
  ++*cue_count;
}

// The notes the row triggers, read when its first tick plays: immediately, or
// held for their delay tick.
void read_row_triggers(sound_song *song, const xmp_frame_info &info, sound_cue *cues,
                       int32_t *cue_count) {
  const xmp_module *module = song->module;
  for (int32_t channel = 0; channel < XMP_MAX_CHANNELS; ++channel)
    song->delayed_tick[channel] = -1;
  if (info.pattern < 0 || info.pattern >= module->pat) return;
  const xmp_pattern *pattern = module->xxp[info.pattern];
  for (int32_t channel = 0; channel < module->chn; ++channel) {
    const xmp_track *track = module->xxt[pattern->index[channel]];
    if (info.row < 0 || info.row >= track->rows) continue;
    const xmp_event &event = track->event[info.row];

    int32_t delay = 0;
    if (event.fxt == XM_EFFECT_EXTENDED && event.fxp >> 4 == XM_EXTENDED_NOTE_DELAY)
      delay = event.fxp & 0x0F;
    // A delay the row does not reach drops the whole cell, instrument included.
    if (delay >= info.speed) continue;
    if (event.ins != 0) song->channel_instrument[channel] = event.ins;

    // A delayed cell without a note replays the channel's last note.
    const bool replays = event.note == 0 && delay > 0 && song->channel_played[channel];
    if (!replays && (event.note < PLAYER_FIRST_NOTE || event.note > PLAYER_LAST_NOTE)) continue;
    if (is_tone_portamento(event.fxt) || is_tone_portamento(event.f2t)) continue;
    if ((event.fxt == XM_EFFECT_KEY_OFF && event.fxp == 0) ||
        (event.f2t == XM_EFFECT_KEY_OFF && event.f2p == 0))
      continue;
    const int32_t instrument = song->channel_instrument[channel];
    if (instrument < 1 || instrument > module->ins) continue;

    song->channel_played[channel] = true;
    if (delay == 0) {
      add_cue(song, info, channel, instrument, cues, cue_count);
    } else {
      song->delayed_instrument[channel] = instrument;
      song->delayed_tick[channel] = delay;
    }
  }
}

// A module can be complete and still give the player nothing to play (its
// order list naming only missing patterns, for one): refused like a bad file
// rather than left to play silence with no cues.
bool plays_first_tick(xmp_context context) {
  if (xmp_start_player(context, XMP_MIN_SRATE, 0) != 0) return false;
  const bool played = xmp_play_frame(context) == 0;
  xmp_end_player(context);
  return played;
}

// Where the patterns end in a file that stores them first (revision 1.04);
// 0 for older revisions, which store the instruments first; -1 when the file
// ends before its song header or patterns are complete.
int64_t patterns_end(const uint8_t *data, int64_t size) {
  if (size < XM_FIXED_HEADER_BYTES + XM_SONG_COUNTS_BYTES) return -1;
  int64_t at = XM_FIXED_HEADER_BYTES + int64_t(read_u32(data + XM_FIXED_HEADER_BYTES));
  if (at > size) return -1;
  if (read_u16(data + XM_VERSION_AT) < XM_PATTERNS_FIRST_VERSION) return 0;
  const uint32_t patterns = read_u16(data + XM_PATTERN_COUNT_AT);
  for (uint32_t i = 0; i < patterns; ++i) {
    if (at + XM_PATTERN_HEADER_BYTES > size) return -1;
    at += int64_t(read_u32(data + at)) + read_u16(data + at + XM_PATTERN_PACKED_SIZE_AT);
    if (at > size) return -1;
  }
  return at;
}

// How many instruments lie in the file with all their headers, walked as the
// player walks them (40 bytes a sample header; ModPlug ADPCM data packed to
// 16 + half a byte a sample). -1 when unknown (older revisions).
int32_t whole_instruments(const uint8_t *data, int64_t size) {
  int64_t at = patterns_end(data, size);
  if (at <= 0) return -1;
  const uint32_t instruments = read_u16(data + XM_INSTRUMENT_COUNT_AT);
  for (uint32_t i = 0; i < instruments; ++i) {
    if (at + INSTRUMENT_HEADER_NEEDED > size) return int32_t(i);
    const int64_t header = read_u32(data + at);
    const uint32_t samples = read_u16(data + at + XM_INSTRUMENT_SAMPLE_COUNT_AT);
    const int64_t sample_headers = at + header;
    if (samples == 0) {
      at = sample_headers;
      continue;
    }
    if (header < INSTRUMENT_HEADER_NEEDED ||
        sample_headers + samples * XM_SAMPLE_HEADER_BYTES > size)
      return int32_t(i);
    at = sample_headers + samples * XM_SAMPLE_HEADER_BYTES;
    for (uint32_t s = 0; s < samples; ++s) {
      const uint8_t *sample = data + sample_headers + s * XM_SAMPLE_HEADER_BYTES;
      const int64_t length = read_u32(sample);
      at += sample[XM_SAMPLE_RESERVED_AT] == XM_ADPCM_MARK ? 16 + (length + 1) / 2 : length;
    }
    if (at >= size) return int32_t(i + 1);
  }
  return int32_t(instruments);
}

// The player refuses a file that ends inside an instrument's headers, as
// trackers that drop unused trailing instruments leave them; loaded again
// with only the instruments the file holds whole, the song plays.
int load_without_partial_instruments(xmp_context context, const uint8_t *data, int64_t size) {
  const int32_t whole = whole_instruments(data, size);
  if (whole < 0 || whole >= int32_t(read_u16(data + XM_INSTRUMENT_COUNT_AT))) return -1;
  uint8_t *copy = static_cast<uint8_t *>(std::malloc(size_t(size)));
  if (copy == nullptr) return -1;
  std::memcpy(copy, data, size_t(size));
  copy[XM_INSTRUMENT_COUNT_AT] = uint8_t(whole);
  copy[XM_INSTRUMENT_COUNT_AT + 1] = 0;
  const int result = xmp_load_module_from_memory(context, copy, long(size));
  std::free(copy);
  return result;
}

// Some sample of the module holds sound.
bool has_sound(const xmp_module *module) {
  for (int32_t i = 0; i < module->smp; ++i)
    if (module->xxs[i].len > 0 && module->xxs[i].data != nullptr) return true;
  return false;
}

// What the layer itself checks before handing a module to the player: an
// extended module's mark and the size limit.
int32_t check_mark_and_size(const uint8_t *data, int64_t size) {
  if (data == nullptr || size < XM_MARK_BYTES || std::memcmp(data, XM_MARK, size_t(XM_MARK_BYTES)) != 0)
    return SOUND_SONG_NOT_XM;
  if (size > DATA_FILE_MAX_BYTES) return SOUND_SONG_TOO_LARGE;
  return SOUND_SONG_PLAYS;
}

} // namespace

sound_song *sound_xmp_load(const uint8_t *data, int64_t size, int32_t max_channels,
                           int32_t *verdict) {
  *verdict = check_mark_and_size(data, size);
  if (*verdict != SOUND_SONG_PLAYS) return nullptr;
  xmp_context context = xmp_create_context();
  if (context == nullptr) {
    *verdict = SOUND_SONG_REFUSED_BY_PLAYER;
    return nullptr;
  }
  if (xmp_load_module_from_memory(context, data, long(size)) != 0 &&
      load_without_partial_instruments(context, data, size) != 0) {
    *verdict = patterns_end(data, size) < 0 ? SOUND_SONG_CUT_OFF : SOUND_SONG_REFUSED_BY_PLAYER;
    xmp_free_context(context);
    return nullptr;
  }
  xmp_module_info info;
  xmp_get_module_info(context, &info);
  if (info.mod != nullptr && info.mod->chn > max_channels)
    *verdict = SOUND_SONG_TOO_MANY_CHANNELS;
  else if (info.mod == nullptr || info.mod->chn < 1 || !has_sound(info.mod) ||
           !plays_first_tick(context))
    *verdict = patterns_end(data, size) < 0 ? SOUND_SONG_CUT_OFF : SOUND_SONG_NOTHING_TO_PLAY;
  sound_song *song = nullptr;
  if (*verdict == SOUND_SONG_PLAYS) {
    song = new (std::nothrow) sound_song{};
    if (song == nullptr) *verdict = SOUND_SONG_REFUSED_BY_PLAYER;
  }
  if (song == nullptr) {
    xmp_release_module(context);
    xmp_free_context(context);
    return nullptr;
  }
  song->context = context;
  song->module = info.mod;
  return song;
}

void sound_xmp_free(sound_song *song) {
  if (song == nullptr) return;
  if (song->mixing_rate != 0) xmp_end_player(song->context);
  xmp_release_module(song->context);
  xmp_free_context(song->context);
  delete song;
}

int sound_xmp_start(sound_song *song, int32_t mixing_rate) {
  if (song->mixing_rate != 0) {
    xmp_end_player(song->context);
    song->mixing_rate = 0;
  }
  if (xmp_start_player(song->context, mixing_rate, 0) != 0) return 0;
  song->mixing_rate = mixing_rate;
  for (int32_t channel = 0; channel < XMP_MAX_CHANNELS; ++channel) {
    song->channel_instrument[channel] = 0;
    song->channel_played[channel] = false;
    song->delayed_tick[channel] = -1;
  }
  song->rendered = 0;
  song->tick_samples = nullptr;
  song->tick_frames = 0;
  song->tick_offset = 0;
  song->played.store(0, std::memory_order_relaxed);
  return 1;
}

int sound_xmp_next_tick(sound_song *song, sound_cue *cues, int32_t *cue_count,
                        int32_t *loop_count) {
  song->rendered += song->tick_frames;
  song->tick_frames = 0;
  song->tick_offset = 0;
  if (xmp_play_frame(song->context) != 0) return 0;
  // After the call the player reports the tick it has just rendered.
  xmp_frame_info info;
  xmp_get_frame_info(song->context, &info);
  if (info.buffer == nullptr || info.buffer_size < 4) return 0;
  song->tick_samples = static_cast<const int16_t *>(info.buffer);
  song->tick_frames = info.buffer_size / 4; // 16-bit stereo
  *loop_count = info.loop_count;

  if (info.frame == 0) read_row_triggers(song, info, cues, cue_count);
  for (int32_t channel = 0; channel < song->module->chn; ++channel) {
    if (song->delayed_tick[channel] != info.frame) continue;
    add_cue(song, info, channel, song->delayed_instrument[channel], cues, cue_count);
    song->delayed_tick[channel] = -1;
  }
  return 1;
}
