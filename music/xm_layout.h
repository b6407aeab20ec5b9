// xm_layout.h - where things are in an extended module (.xm) file, for the
// code that reads one (sound_xmp_song.cpp) and the code that writes one
// (content/xm_write.cpp). All values are little-endian.
#pragma once

#include <cstdint>

// The fixed header: mark, song name, 0x1A, tracker name, format revision.
constexpr char XM_MARK[] = "Extended Module: ";
constexpr int64_t XM_MARK_BYTES = sizeof XM_MARK - 1;
constexpr int64_t XM_NAME_BYTES = 20;
constexpr int64_t XM_VERSION_AT = 58;
constexpr int64_t XM_FIXED_HEADER_BYTES = 60;

// The song header follows: its own size (which includes the order table),
// then 16-bit counts and settings, then the order table.
constexpr int64_t XM_SONG_COUNTS_BYTES = 20; // the song header before its order table
constexpr int64_t XM_PATTERN_COUNT_AT = XM_FIXED_HEADER_BYTES + 10;
constexpr int64_t XM_INSTRUMENT_COUNT_AT = XM_FIXED_HEADER_BYTES + 12;
constexpr int32_t XM_ORDER_SLOTS = 256; // a full order table; a compact one holds the orders in use

// From this revision on, patterns come before the instruments; 1.02 has a
// shorter pattern header (its row count in one byte).
constexpr uint16_t XM_PATTERNS_FIRST_VERSION = 0x0104;
constexpr uint16_t XM_SHORT_PATTERN_HEADER_VERSION = 0x0102;

// A pattern: header size, packing type, row count, packed size, then data.
constexpr int64_t XM_PATTERN_HEADER_BYTES = 9;
constexpr int64_t XM_SHORT_PATTERN_HEADER_BYTES = 8;
constexpr int64_t XM_PATTERN_PACKED_SIZE_AT = 7;

// An instrument: header size, name, type, sample count; with samples, the
// sample header size, keymap, envelopes and the rest follow.
constexpr int64_t XM_INSTRUMENT_SAMPLE_COUNT_AT = 27;
constexpr int64_t XM_INSTRUMENT_SHORT_HEADER_BYTES = 29; // an instrument without samples
constexpr int64_t XM_INSTRUMENT_HEADER_BYTES = 263;
constexpr int64_t XM_ITEM_NAME_BYTES = 22; // an instrument's or a sample's name
constexpr int32_t XM_ENVELOPE_POINTS = 12; // each envelope's room, used or not
// A sample header: lengths, volume, finetune, type, panning, note, a
// reserved byte (ModPlug's ADPCM mark), name.
constexpr int64_t XM_SAMPLE_HEADER_BYTES = 40;
constexpr int64_t XM_SAMPLE_RESERVED_AT = 17;
constexpr uint8_t XM_ADPCM_MARK = 0xAD;

// Notes 1..96 (C-0 .. B-7), then the key-off; effect numbers as stored.
constexpr uint8_t XM_LAST_NOTE = 96;
constexpr uint8_t XM_KEY_OFF = 97;
constexpr uint8_t XM_EFFECT_TONE_PORTAMENTO = 0x03;
constexpr uint8_t XM_EFFECT_TONE_PORTAMENTO_VOLUME_SLIDE = 0x05;
constexpr uint8_t XM_EFFECT_EXTENDED = 0x0E;
constexpr uint8_t XM_EXTENDED_NOTE_DELAY = 0x0D;
constexpr uint8_t XM_EFFECT_KEY_OFF = 0x14;
