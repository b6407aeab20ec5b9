// Extended module writer: header, packed patterns, instruments with their
// envelopes, sample headers and delta-coded sample data, all little-endian.
#include "content/xm_write.h"

#include "music/xm_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

struct byte_writer {
  std::vector<uint8_t> bytes;
  void u8(unsigned value) { bytes.push_back(uint8_t(value)); }
  void u16(unsigned value) {
    u8(value & 0xFF);
    u8((value >> 8) & 0xFF);
  }
  void u32(uint32_t value) {
    u16(value & 0xFFFF);
    u16(value >> 16);
  }
  void text(const std::string &value, size_t width, char pad = '\0') {
    for (size_t i = 0; i < width; ++i) u8(uint8_t(i < value.size() ? value[i] : pad));
  }
  void zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
};

std::vector<uint8_t> pack_pattern(const xm_pattern &pattern) {
  byte_writer out;
  for (const xm_cell &cell : pattern.cells) {
    unsigned present = (cell.note ? 1u : 0u) | (cell.instrument ? 2u : 0u) |
                       (cell.volume ? 4u : 0u) | (cell.effect ? 8u : 0u) |
                       (cell.parameter ? 16u : 0u);
    if (present == 31) {
      out.u8(cell.note), out.u8(cell.instrument), out.u8(cell.volume), out.u8(cell.effect),
          out.u8(cell.parameter);
      continue;
    }
    out.u8(0x80 | present);
    if (cell.note) out.u8(cell.note);
    if (cell.instrument) out.u8(cell.instrument);
    if (cell.volume) out.u8(cell.volume);
    if (cell.effect) out.u8(cell.effect);
    if (cell.parameter) out.u8(cell.parameter);
  }
  return out.bytes;
}

void write_envelope_points(byte_writer &out, const xm_envelope &envelope) {
  for (size_t i = 0; i < size_t(XM_ENVELOPE_POINTS); ++i) {
    if (i < envelope.points.size()) {
      out.u16(envelope.points[i].first);
      out.u16(envelope.points[i].second);
    } else {
      out.u32(0);
    }
  }
}

unsigned envelope_type(const xm_envelope &envelope) {
  if (envelope.points.empty()) return 0;
  return 1u | (envelope.sustain >= 0 ? 2u : 0u) | (envelope.loop_start >= 0 ? 4u : 0u);
}

// The instrument's header and its samples' headers; the sample data follows
// separately (right after, or after the patterns in older revisions).
void write_instrument_headers(byte_writer &out, const xm_instrument &instrument) {
  const bool has_samples = !instrument.samples.empty();
  out.u32(uint32_t(has_samples ? XM_INSTRUMENT_HEADER_BYTES : XM_INSTRUMENT_SHORT_HEADER_BYTES));
  out.text(instrument.name, size_t(XM_ITEM_NAME_BYTES));
  out.u8(0);
  out.u16(unsigned(instrument.samples.size()));
  if (!has_samples) return;
  out.u32(uint32_t(XM_SAMPLE_HEADER_BYTES));
  for (size_t note = 0; note < XM_LAST_NOTE; ++note)
    out.u8(note < instrument.keymap.size() ? instrument.keymap[note] : 0);
  write_envelope_points(out, instrument.volume_envelope);
  write_envelope_points(out, instrument.panning_envelope);
  out.u8(unsigned(instrument.volume_envelope.points.size()));
  out.u8(unsigned(instrument.panning_envelope.points.size()));
  for (const xm_envelope *envelope : {&instrument.volume_envelope, &instrument.panning_envelope}) {
    out.u8(unsigned(std::max(envelope->sustain, 0)));
    out.u8(unsigned(std::max(envelope->loop_start, 0)));
    out.u8(unsigned(std::max(envelope->loop_end, 0)));
  }
  out.u8(envelope_type(instrument.volume_envelope));
  out.u8(envelope_type(instrument.panning_envelope));
  out.zeros(4); // vibrato type, sweep, depth, rate
  out.u16(instrument.fadeout);
  out.zeros(22);

  for (const xm_sample &sample : instrument.samples) {
    const bool sixteen_bit = sample.sixteen_bit && !sample.adpcm;
    const uint32_t bytes_per_sample = sixteen_bit ? 2 : 1;
    out.u32(uint32_t(sample.data.size()) * bytes_per_sample);
    out.u32(sample.loop_start * bytes_per_sample);
    out.u32(sample.loop_length * bytes_per_sample);
    out.u8(sample.volume);
    out.u8(uint8_t(sample.finetune));
    out.u8(unsigned(sample.loop) | (sixteen_bit ? 0x10u : 0u));
    out.u8(sample.panning);
    out.u8(uint8_t(sample.relative_note));
    out.u8(sample.adpcm ? XM_ADPCM_MARK : 0);
    out.text(sample.name, size_t(XM_ITEM_NAME_BYTES));
  }
}

// ModPlug ADPCM: a table of 16 signed steps, then one 4-bit step index per
// sample, low nibble first; each sample is the previous one plus its step.
// Each index is chosen greedily to land nearest the wanted 8-bit value.
void write_adpcm_data(byte_writer &out, const xm_sample &sample) {
  static const int8_t STEPS[16] = {0, 1, 2, 4, 8, 16, 32, 64, -1, -2, -4, -8, -16, -32, -64, -128};
  for (int8_t step : STEPS) out.u8(uint8_t(step));
  int8_t value = 0;
  unsigned pending = 0;
  for (size_t i = 0; i < sample.data.size(); ++i) {
    const int wanted = sample.data[i] >> 8;
    unsigned best = 0;
    for (unsigned index = 1; index < 16; ++index) {
      const int candidate = int8_t(value + STEPS[index]);
      const int chosen = int8_t(value + STEPS[best]);
      if (std::abs(candidate - wanted) < std::abs(chosen - wanted)) best = index;
    }
    value = int8_t(value + STEPS[best]);
    if (i % 2 == 0) {
      pending = best;
    } else {
      out.u8(pending | best << 4);
    }
  }
  if (sample.data.size() % 2 == 1) out.u8(pending);
}

void write_sample_data(byte_writer &out, const xm_instrument &instrument) {
  for (const xm_sample &sample : instrument.samples) {
    if (sample.adpcm) {
      write_adpcm_data(out, sample);
      continue;
    }
    int previous = 0;
    for (int16_t value : sample.data) {
      int current = sample.sixteen_bit ? value : value >> 8;
      int delta = current - previous;
      previous = current;
      if (sample.sixteen_bit)
        out.u16(unsigned(delta) & 0xFFFF);
      else
        out.u8(unsigned(delta) & 0xFF);
    }
  }
}

void write_patterns(byte_writer &out, const xm_module &module) {
  // Revision 1.02 stores the row count in one byte, less one, and no more.
  const bool short_header = module.version <= XM_SHORT_PATTERN_HEADER_VERSION;
  for (const xm_pattern &pattern : module.patterns) {
    std::vector<uint8_t> packed = pack_pattern(pattern);
    out.u32(uint32_t(short_header ? XM_SHORT_PATTERN_HEADER_BYTES : XM_PATTERN_HEADER_BYTES));
    out.u8(0);
    if (short_header)
      out.u8(unsigned(pattern.rows - 1));
    else
      out.u16(unsigned(pattern.rows));
    out.u16(unsigned(packed.size()));
    out.bytes.insert(out.bytes.end(), packed.begin(), packed.end());
  }
}

} // namespace

xm_pattern xm_make_pattern(int rows, int channels) {
  xm_pattern pattern;
  pattern.rows = rows;
  pattern.channels = channels;
  pattern.cells.assign(size_t(rows * channels), xm_cell{});
  return pattern;
}

std::vector<uint8_t> xm_write(const xm_module &module) {
  byte_writer out;
  out.text(XM_MARK, size_t(XM_MARK_BYTES));
  out.text(module.name, size_t(XM_NAME_BYTES));
  out.u8(0x1A);
  out.text(module.tracker, 20, ' ');
  out.u16(module.version);
  const size_t order_slots = module.compact_header ? module.orders.size() : size_t(XM_ORDER_SLOTS);
  out.u32(uint32_t(XM_SONG_COUNTS_BYTES + int64_t(order_slots)));
  out.u16(unsigned(module.orders.size()));
  out.u16(unsigned(module.restart));
  out.u16(unsigned(module.channels));
  out.u16(unsigned(module.patterns.size()));
  out.u16(unsigned(module.instruments.size()));
  out.u16(module.linear_frequencies ? 1 : 0);
  out.u16(unsigned(module.speed));
  out.u16(unsigned(module.tempo));
  for (size_t i = 0; i < order_slots; ++i) out.u8(i < module.orders.size() ? module.orders[i] : 0);

  if (module.version >= XM_PATTERNS_FIRST_VERSION) {
    write_patterns(out, module);
    for (const xm_instrument &instrument : module.instruments) {
      write_instrument_headers(out, instrument);
      write_sample_data(out, instrument);
    }
  } else {
    for (const xm_instrument &instrument : module.instruments)
      write_instrument_headers(out, instrument);
    write_patterns(out, module);
    for (const xm_instrument &instrument : module.instruments) write_sample_data(out, instrument);
  }
  return out.bytes;
}

bool xm_save(const xm_module &module, const std::string &path) {
  std::vector<uint8_t> bytes = xm_write(module);
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
