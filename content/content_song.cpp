// "RETRO.XM": the show's song, composed and synthesised here.
//
// A-minor synth piece at 150 BPM, speed 6 (a row lasts 0.1 s), patterns of
// four 16-row bars (6.4 s). Order 0 is an intro played once; the song then
// loops over orders 1..15 (96 s): build-up, groove, melody, a second theme,
// a breakdown, both themes again and a quiet outro.
//
// Channels: 0 kick, 1 snare and hi-hat, 2 bass, 3-4 pad, 5 lead, 6 arpeggio,
// 7 cues. The show listens to instruments 3, 4 and 6, so they only ever play
// on channel 7, always with their instrument number written:
//   3 crash cymbal  on the first row of every looped pattern (next scene every 6.4 s)
//   4 chord stab    on a few bar downbeats (logo flash)
//   6 bell          in the breakdown and the outro (credits flash)
//
// Samples are computed at 33452 Hz (4 x 8363) with relative note +24, so a
// C-4 plays a sample at its own rate; tonal samples repeat every 128 samples
// at C-4 (261.3 Hz, two cents under concert pitch, the same for all).
#include "content/content.h"
#include "content/content_math.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double RATE = 33452.0;
constexpr double BASE_PERIOD = 128.0; // samples per cycle at C-4
constexpr int ROWS = 64;
constexpr int CHANNELS = 8;

enum channel { KICK_CH, SNARE_CH, BASS_CH, PAD_A_CH, PAD_B_CH, LEAD_CH, ARP_CH, CUE_CH };
enum instrument_number {
  KICK = 1,
  SNARE = 2,
  CRASH = CUE_INSTRUMENT_NEXT_SCENE,
  STAB = CUE_INSTRUMENT_LOGO,
  HAT = 5,
  BELL = CUE_INSTRUMENT_CREDITS,
  BASS = 7,
  PAD = 8,
  LEAD = 9,
  PLUCK = 10,
};

// ---- synthesis ----

// Each instrument's share of the mix. A volume in the volume column replaces
// the sample's own volume, so notes carry level x share; the samples keep the
// share as their default volume for anyone who plays them from a tracker.
uint8_t mix_share(int instrument) {
  switch (instrument) {
  case KICK: return 64;
  case SNARE: return 50;
  case CRASH: return 44;
  case STAB: return 46;
  case HAT: return 30;
  case BELL: return 48;
  case BASS: return 52;
  case PAD: return 34;
  case LEAD: return 44;
  case PLUCK: return 40;
  default: return 64;
  }
}

std::vector<int16_t> to_samples(const std::vector<double> &wave, double peak = 0.92) {
  double top = 1e-9;
  for (double v : wave) top = std::max(top, std::fabs(v));
  std::vector<int16_t> out(wave.size());
  for (size_t i = 0; i < wave.size(); ++i) out[i] = int16_t(std::lround(wave[i] / top * peak * 32767.0));
  return out;
}

// Per-sample factor for an exponential decay with time constant `seconds`.
double decay_factor(double seconds) {
  return 1.0 - 1.0 / (seconds * RATE);
}

std::vector<double> kick_wave() {
  std::vector<double> wave(size_t(0.45 * RATE));
  content_random noise(11);
  double phase = 0, sweep = 1, level = 1;
  const double sweep_decay = decay_factor(0.035), level_decay = decay_factor(0.16);
  for (size_t i = 0; i < wave.size(); ++i) {
    phase += (44.0 + 120.0 * sweep) / RATE;
    double v = content_sine(phase) * level;
    if (i < 90) v += noise.signed_unit() * 0.25 * (1.0 - double(i) / 90.0);
    const double driven = 1.6 * v; // a soft clip warms the body
    wave[i] = driven / std::sqrt(1.0 + driven * driven);
    sweep *= sweep_decay, level *= level_decay;
  }
  return wave;
}

std::vector<double> snare_wave() {
  std::vector<double> wave(size_t(0.32 * RATE));
  content_random noise(22);
  double phase = 0, tone = 1, hiss = 1, previous = 0, low = 0;
  const double tone_decay = decay_factor(0.045), hiss_decay = decay_factor(0.09);
  for (double &v : wave) {
    phase += 185.0 / RATE;
    const double n = noise.signed_unit();
    low += (n - low) * 0.35; // soften the very top
    const double bright = low - previous;
    previous = low;
    v = 0.7 * content_sine(phase) * tone + 1.4 * bright * hiss;
    tone *= tone_decay, hiss *= hiss_decay;
  }
  return wave;
}

std::vector<double> hat_wave() {
  std::vector<double> wave(size_t(0.12 * RATE));
  content_random noise(33);
  double level = 1, a = 0, b = 0;
  const double level_decay = decay_factor(0.022);
  for (double &v : wave) {
    const double n = noise.signed_unit();
    const double high = n - a; // two differences: mostly the top octaves
    a = n;
    v = (high - b) * level;
    b = high;
    level *= level_decay;
  }
  return wave;
}

std::vector<double> crash_wave() {
  std::vector<double> wave(size_t(2.4 * RATE));
  content_random noise(44);
  const double partials[] = {3127.0, 4311.0, 5263.0, 6829.0, 7951.0, 9137.0};
  double phases[6] = {};
  double level = 1, ring = 1, a = 0;
  const double level_decay = decay_factor(0.75), ring_decay = decay_factor(0.45);
  for (size_t i = 0; i < wave.size(); ++i) {
    const double n = noise.signed_unit();
    const double high = n - 0.6 * a;
    a = n;
    double metal = 0;
    for (int k = 0; k < 6; ++k) {
      phases[k] += partials[k] / RATE;
      metal += content_sine(phases[k]) / (1.0 + k * 0.4);
    }
    const double attack = std::min(1.0, double(i) / 60.0);
    wave[i] = attack * (high * level + 0.12 * metal * ring);
    level *= level_decay, ring *= ring_decay;
  }
  return wave;
}

// Band-limited sawtooth partials decaying faster the higher they are: a brassy stab.
std::vector<double> stab_wave() {
  std::vector<double> wave(size_t(0.9 * RATE));
  const double ratios[] = {1.0, 1.5, 2.0, 1.003, 1.497};
  double level = 1;
  const double level_decay = decay_factor(0.3);
  std::vector<double> bright(16, 1.0), bright_decay(16);
  for (int k = 1; k < 16; ++k) bright_decay[size_t(k)] = decay_factor(0.9 / k);
  for (size_t i = 0; i < wave.size(); ++i) {
    double v = 0;
    for (double ratio : ratios)
      for (int k = 1; k < 16 && k * ratio * RATE / BASE_PERIOD < 9000.0; ++k)
        v += content_sine(double(i) * k * ratio / BASE_PERIOD) / k * bright[size_t(k)];
    const double attack = std::min(1.0, double(i) / 120.0);
    wave[i] = v * level * attack;
    level *= level_decay;
    for (int k = 1; k < 16; ++k) bright[size_t(k)] *= bright_decay[size_t(k)];
  }
  return wave;
}

// Two-operator FM with an inharmonic modulator: a bell.
std::vector<double> bell_wave() {
  std::vector<double> wave(size_t(3.0 * RATE));
  double level = 1, index = 1;
  const double level_decay = decay_factor(1.1), index_decay = decay_factor(0.5);
  for (size_t i = 0; i < wave.size(); ++i) {
    const double t = double(i) / BASE_PERIOD; // cycles of the fundamental
    const double modulator = content_sine(t * 3.5) * (0.6 + 3.0 * index);
    const double v = content_sine(t + modulator / (2 * CONTENT_PI)) + 0.3 * content_sine(t * 2.76) * index;
    const double attack = std::min(1.0, double(i) / 40.0);
    wave[i] = v * level * attack;
    level *= level_decay, index *= index_decay;
  }
  return wave;
}

// A harmonic pluck: each partial fades sooner than the one below it.
std::vector<double> pluck_wave() {
  std::vector<double> wave(size_t(0.7 * RATE));
  for (size_t i = 0; i < wave.size(); ++i) {
    const double seconds = double(i) / RATE;
    double v = 0, fade = 1;
    for (int k = 1; k <= 10; ++k) {
      fade *= 0.62;
      const double decay = 1.0 / (1.0 + seconds * 8.0 * k);
      v += content_sine(double(i) * k / BASE_PERIOD) * fade * decay * decay / 0.62;
    }
    wave[i] = v * std::min(1.0, double(i) / 30.0);
  }
  return wave;
}

// A loop of `length` samples summing band-limited oscillators; each runs a
// whole number of cycles over the loop, so the loop joins without a click.
// amplitude(k) gives the k-th harmonic's amplitude.
template <typename Harmonic>
std::vector<double> loop_wave(size_t length, std::initializer_list<int> cycles, int harmonics,
                              Harmonic amplitude) {
  std::vector<double> wave(length, 0.0);
  for (int cycle : cycles)
    for (size_t i = 0; i < length; ++i)
      for (int k = 1; k <= harmonics; ++k)
        wave[i] += content_sine(double(i) * cycle * k / double(length)) * amplitude(k);
  return wave;
}

xm_instrument make_instrument(int number, const std::string &name, std::vector<int16_t> data) {
  xm_instrument instrument;
  instrument.name = name;
  xm_sample sample;
  sample.name = name;
  sample.data = std::move(data);
  sample.volume = mix_share(number);
  sample.relative_note = 24;
  instrument.samples.push_back(std::move(sample));
  return instrument;
}

void set_loop(xm_instrument &instrument) {
  xm_sample &sample = instrument.samples[0];
  sample.loop = XM_LOOP_FORWARD;
  sample.loop_start = 0;
  sample.loop_length = uint32_t(sample.data.size());
}

std::vector<xm_instrument> make_instruments() {
  std::vector<xm_instrument> list(10);
  list[KICK - 1] = make_instrument(KICK, "kick", to_samples(kick_wave()));
  list[SNARE - 1] = make_instrument(SNARE, "snare", to_samples(snare_wave()));
  list[CRASH - 1] = make_instrument(CRASH, "crash (next scene)", to_samples(crash_wave()));
  list[STAB - 1] = make_instrument(STAB, "stab (logo)", to_samples(stab_wave()));
  list[HAT - 1] = make_instrument(HAT, "hi-hat", to_samples(hat_wave()));
  list[BELL - 1] = make_instrument(BELL, "bell (credits)", to_samples(bell_wave()));

  // Bass: saw and square, one cycle; a short pluck into a held level.
  list[BASS - 1] = make_instrument(BASS, "bass", to_samples(loop_wave(128, {1}, 24, [](int k) {
                                     return 0.6 / k + (k % 2 ? 0.4 / k : 0.0);
                                   })));
  set_loop(list[BASS - 1]);
  list[BASS - 1].volume_envelope.points = {{0, 64}, {6, 46}, {40, 34}};
  list[BASS - 1].volume_envelope.sustain = 2;
  list[BASS - 1].fadeout = 2400;

  // Pad: three detuned saws beating slowly, soft attack and long release.
  list[PAD - 1] = make_instrument(PAD, "pad", to_samples(loop_wave(16384, {127, 128, 129}, 14, [](int k) {
                                    return 1.0 / k / (1.0 + k / 5.0);
                                  })));
  set_loop(list[PAD - 1]);
  list[PAD - 1].volume_envelope.points = {{0, 0}, {14, 64}, {60, 44}};
  list[PAD - 1].volume_envelope.sustain = 2;
  list[PAD - 1].fadeout = 500;

  // Lead: a 30% pulse, two copies a few cents apart.
  list[LEAD - 1] = make_instrument(LEAD, "lead", to_samples(loop_wave(16384, {128, 129}, 12, [](int k) {
                                     return content_sine(0.15 * k) / k / (1.0 + k / 8.0);
                                   })));
  set_loop(list[LEAD - 1]);
  list[LEAD - 1].volume_envelope.points = {{0, 0}, {2, 64}, {16, 48}};
  list[LEAD - 1].volume_envelope.sustain = 2;
  list[LEAD - 1].fadeout = 1600;

  list[PLUCK - 1] = make_instrument(PLUCK, "pluck", to_samples(pluck_wave()));

  list[HAT - 1].samples[0].panning = 160;
  list[PLUCK - 1].samples[0].panning = 96;
  list[LEAD - 1].samples[0].panning = 140;
  return list;
}

// ---- composition ----

// Note number: C-0 is 1, so C-4 is 49.
constexpr int note(int pitch_class, int octave) {
  return octave * 12 + pitch_class + 1;
}
constexpr int C = 0, D = 2, E = 4, F = 5, G = 7, G_SHARP = 8, A = 9, B = 11;

struct chord {
  int root, third, fifth; // pitch classes
};
constexpr chord AM{A, C, E}, F_MAJ{F, A, C}, C_MAJ{C, E, G}, G_MAJ{G, B, D}, EM{E, G, B}, DM{D, F, A},
    E_MAJ{E, G_SHARP, B};

using progression = std::array<chord, 4>;
const progression THEME_A = {AM, F_MAJ, C_MAJ, G_MAJ};
const progression THEME_B = {F_MAJ, G_MAJ, EM, AM};
const progression BREAK = {DM, AM, F_MAJ, E_MAJ};

struct melody_note {
  int bar, row, note, length;
};
using melody = std::vector<melody_note>;

// Octave numbers follow the tracker: A-4 is 440 Hz.
const melody MELODY_A1 = {{0, 0, note(E, 5), 6},  {0, 6, note(D, 5), 2},  {0, 8, note(C, 5), 4},
                          {0, 12, note(D, 5), 2}, {0, 14, note(E, 5), 2}, {1, 0, note(C, 5), 8},
                          {1, 8, note(A, 4), 4},  {1, 12, note(C, 5), 4}, {2, 0, note(G, 4), 6},
                          {2, 6, note(C, 5), 2},  {2, 8, note(E, 5), 4},  {2, 12, note(G, 5), 4},
                          {3, 0, note(D, 5), 8},  {3, 8, note(B, 4), 4},  {3, 12, note(D, 5), 4}};
const melody MELODY_A2 = {{0, 0, note(E, 5), 6},  {0, 6, note(D, 5), 2},  {0, 8, note(C, 5), 4},
                          {0, 12, note(D, 5), 2}, {0, 14, note(E, 5), 2}, {1, 0, note(F, 5), 6},
                          {1, 6, note(E, 5), 2},  {1, 8, note(C, 5), 4},  {1, 12, note(A, 4), 4},
                          {2, 0, note(G, 5), 6},  {2, 6, note(E, 5), 2},  {2, 8, note(C, 5), 4},
                          {2, 12, note(E, 5), 4}, {3, 0, note(D, 5), 12}, {3, 12, note(B, 4), 4}};
// The last statement walks down and leaves the resolution to the outro.
const melody MELODY_A3 = {{0, 0, note(E, 5), 6},  {0, 6, note(D, 5), 2},  {0, 8, note(C, 5), 4},
                          {0, 12, note(D, 5), 2}, {0, 14, note(E, 5), 2}, {1, 0, note(F, 5), 6},
                          {1, 6, note(E, 5), 2},  {1, 8, note(C, 5), 4},  {1, 12, note(A, 4), 4},
                          {2, 0, note(G, 5), 4},  {2, 4, note(A, 5), 4},  {2, 8, note(G, 5), 4},
                          {2, 12, note(E, 5), 4}, {3, 0, note(D, 5), 4},  {3, 4, note(B, 4), 4},
                          {3, 8, note(G, 4), 4},  {3, 12, note(B, 4), 4}};
const melody MELODY_B1 = {{0, 0, note(A, 5), 4},  {0, 4, note(G, 5), 4},  {0, 8, note(F, 5), 4},
                          {0, 12, note(E, 5), 4}, {1, 0, note(D, 5), 6},  {1, 6, note(E, 5), 2},
                          {1, 8, note(G, 5), 8},  {2, 0, note(B, 4), 4},  {2, 4, note(E, 5), 4},
                          {2, 8, note(G, 5), 4},  {2, 12, note(B, 5), 4}, {3, 0, note(A, 5), 12},
                          {3, 12, note(G, 5), 2}, {3, 14, note(E, 5), 2}};
const melody MELODY_B2 = {{0, 0, note(A, 5), 4},  {0, 4, note(C, 6), 4},  {0, 8, note(A, 5), 4},
                          {0, 12, note(F, 5), 4}, {1, 0, note(G, 5), 4},  {1, 4, note(D, 5), 4},
                          {1, 8, note(B, 4), 4},  {1, 12, note(D, 5), 4}, {2, 0, note(E, 5), 6},
                          {2, 6, note(G, 5), 2},  {2, 8, note(B, 5), 4},  {2, 12, note(G, 5), 4},
                          {3, 0, note(A, 5), 14}};
const melody MELODY_BREAK1 = {{0, 0, note(F, 5), 4},  {0, 4, note(A, 5), 4},       {0, 8, note(D, 6), 8},
                              {1, 0, note(C, 6), 4},  {1, 4, note(A, 5), 4},       {1, 8, note(E, 5), 8},
                              {2, 0, note(F, 5), 4},  {2, 4, note(A, 5), 4},       {2, 8, note(C, 6), 4},
                              {2, 12, note(A, 5), 4}, {3, 0, note(G_SHARP, 5), 8}, {3, 8, note(B, 5), 4},
                              {3, 12, note(E, 5), 4}};
const melody MELODY_BREAK2 = {{0, 0, note(D, 5), 2},       {0, 2, note(F, 5), 2},  {0, 4, note(A, 5), 4},
                              {0, 8, note(D, 6), 4},       {0, 12, note(F, 6), 4}, {1, 0, note(E, 6), 8},
                              {1, 8, note(C, 6), 8},       {2, 0, note(A, 5), 4},  {2, 4, note(F, 5), 4},
                              {2, 8, note(C, 6), 4},       {2, 12, note(A, 5), 4}, {3, 0, note(B, 5), 4},
                              {3, 4, note(G_SHARP, 5), 4}, {3, 8, note(E, 5), 4},  {3, 12, note(B, 4), 4}};
const melody MELODY_OUTRO = {{0, 0, note(A, 4), 16}};

enum drum_style { NO_DRUMS, INTRO_DRUMS, FULL_DRUMS, BREAK_KICK, BUILD_DRUMS, OUTRO_DRUMS };
enum bass_style { NO_BASS, EIGHTHS, HELD };

struct section {
  const progression *chords;
  drum_style drums;
  bass_style bass;
  int pad_volume; // 0: no pad
  int arp_volume; // 0: no arpeggio
  int arp_from_bar;
  const melody *tune; // nullptr: none
  int tune_instrument;
  bool fill;  // snare fill in the last bar
  bool crash; // crash (next scene) on the first row
  int accent; // STAB, BELL or 0, on the downbeat of the third bar
};

// One section per pattern, in playing order.
const section SONG[] = {
    {&THEME_A, NO_DRUMS, NO_BASS, 60, 34, 2, nullptr, 0, false, false, 0},        // 0 intro (played once)
    {&THEME_A, INTRO_DRUMS, NO_BASS, 56, 34, 0, nullptr, 0, true, true, STAB},    // 1 build-up, loop start
    {&THEME_A, FULL_DRUMS, EIGHTHS, 40, 32, 0, nullptr, 0, false, true, 0},       // 2 groove
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 26, 0, &MELODY_A1, LEAD, false, true, 0}, // 3 theme A
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 26, 0, &MELODY_A2, LEAD, true, true, 0},
    {&THEME_B, FULL_DRUMS, EIGHTHS, 40, 26, 0, &MELODY_B1, LEAD, false, true, 0}, // 5 theme B
    {&THEME_B, FULL_DRUMS, EIGHTHS, 40, 26, 0, &MELODY_B2, LEAD, true, true, 0},
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 30, 0, &MELODY_A1, LEAD, false, true, STAB},
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 30, 0, &MELODY_A2, LEAD, true, true, 0},
    {&BREAK, BREAK_KICK, HELD, 46, 0, 0, &MELODY_BREAK1, PLUCK, false, true, BELL}, // 9 breakdown
    {&BREAK, BUILD_DRUMS, HELD, 46, 22, 2, &MELODY_BREAK2, PLUCK, false, true, 0},
    {&THEME_B, FULL_DRUMS, EIGHTHS, 40, 28, 0, &MELODY_B1, LEAD, false, true, 0},
    {&THEME_B, FULL_DRUMS, EIGHTHS, 40, 28, 0, &MELODY_B2, LEAD, true, true, 0},
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 30, 0, &MELODY_A2, LEAD, false, true, STAB},
    {&THEME_A, FULL_DRUMS, EIGHTHS, 36, 30, 0, &MELODY_A3, LEAD, true, true, 0},
    {&THEME_A, OUTRO_DRUMS, EIGHTHS, 40, 24, 0, &MELODY_OUTRO, LEAD, false, true, BELL}, // 15 outro
};
constexpr int LOOP_START_ORDER = 1;

void put(xm_pattern &pattern, int row, int channel, int note_number, int instrument, int level,
         uint8_t effect = 0, uint8_t parameter = 0) {
  const int scaled = (std::clamp(level, 0, 64) * mix_share(instrument) + 32) / 64;
  pattern.at(row, channel) = {uint8_t(note_number), uint8_t(instrument), uint8_t(0x10 + scaled), effect,
                              parameter};
}

// The pitch class placed in [lowest, lowest + 11].
int place(int pitch_class, int lowest) {
  return lowest + (pitch_class - (lowest - 1) % 12 + 24) % 12;
}

void write_drums(xm_pattern &p, const section &s) {
  for (int bar = 0; bar < 4; ++bar) {
    const int r = bar * 16;
    const bool last = bar == 3;
    switch (s.drums) {
    case NO_DRUMS: break;
    case INTRO_DRUMS:
      for (int i = 2; i < 16; i += 4) put(p, r + i, SNARE_CH, note(C, 4), HAT, 30 + bar * 6);
      if (bar >= 2)
        for (int i = 0; i < 16; i += 4) put(p, r + i, KICK_CH, note(C, 4), KICK, 52);
      break;
    case FULL_DRUMS:
    case OUTRO_DRUMS: {
      const bool outro = s.drums == OUTRO_DRUMS;
      if (outro && last) break; // the last bar breathes before the loop
      for (int i = 0; i < 16; i += outro ? 8 : 4) put(p, r + i, KICK_CH, note(C, 4), KICK, 60);
      for (int i : {0, 2, 6, 8, 10, 14}) put(p, r + i, SNARE_CH, note(C, 4), HAT, i % 4 == 2 ? 44 : 24);
      for (int i : {4, 12})
        if (!outro || i == 12) put(p, r + i, SNARE_CH, note(C, 4), SNARE, 56);
      if (!outro && bar % 2 == 1) put(p, r + 7, KICK_CH, note(C, 4), KICK, 40); // a ghost kick
      break;
    }
    case BREAK_KICK: put(p, r, KICK_CH, note(C, 4), KICK, 50); break;
    case BUILD_DRUMS:
      for (int i = 0; i < 16; i += bar < 2 ? 8 : 4) put(p, r + i, KICK_CH, note(C, 4), KICK, 56);
      if (!last)
        for (int i = 2; i < 16; i += 2) put(p, r + i, SNARE_CH, note(C, 4), HAT, 18 + bar * 8);
      else
        for (int i = 0; i < 16; ++i) put(p, r + i, SNARE_CH, note(C, 4), SNARE, 20 + i * 2 + (i % 2 ? 0 : 4));
      break;
    }
  }
  if (s.fill) {
    const int r = 48;
    for (int i = 8; i < 16; ++i) p.at(r + i, SNARE_CH) = {};
    for (int i : {8, 10, 12, 13, 14, 15}) put(p, r + i, SNARE_CH, note(C, 4), SNARE, 34 + i * 2);
  }
}

void write_harmony(xm_pattern &p, const section &s) {
  for (int bar = 0; bar < 4; ++bar) {
    const chord &c = (*s.chords)[size_t(bar)];
    const int r = bar * 16;
    if (s.bass == EIGHTHS) {
      const int root = place(c.root, note(E, 2));
      for (int i = 0; i < 16; i += 2)
        put(p, r + i, BASS_CH, i == 4 || i == 12 ? root + 12 : root, BASS, i % 4 ? 40 : 56);
    } else if (s.bass == HELD) {
      put(p, r, BASS_CH, place(c.root, note(E, 2)), BASS, 54);
      put(p, r + 10, BASS_CH, place(c.root, note(E, 2)) + 12, BASS, 36);
    }
    if (s.pad_volume) {
      // A voice that keeps its note over the bar line is held, not struck again.
      const chord *previous = bar > 0 ? &(*s.chords)[size_t(bar - 1)] : nullptr;
      const uint8_t pan_effect = bar == 0 ? 0x08 : 0;
      if (!previous || previous->third != c.third)
        put(p, r, PAD_A_CH, place(c.third, note(G, 3)), PAD, s.pad_volume, pan_effect, bar == 0 ? 0x50 : 0);
      if (!previous || previous->fifth != c.fifth)
        put(p, r, PAD_B_CH, place(c.fifth, note(G, 3)), PAD, s.pad_volume, pan_effect, bar == 0 ? 0xB0 : 0);
    }
    if (s.arp_volume && bar >= s.arp_from_bar) {
      const int root = place(c.root, note(C, 4));
      const int tones[] = {root, place(c.third, root), place(c.fifth, root), root + 12};
      // Up and down over the first theme; a broken figure elsewhere.
      const int rolling[] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3};
      const int broken[] = {0, 2, 3, 2, 1, 2, 3, 2, 0, 2, 3, 2, 1, 2, 3, 2};
      const int *walk = s.chords == &THEME_A ? rolling : broken;
      for (int i = 0; i < 16; ++i)
        put(p, r + i, ARP_CH, tones[walk[i]], PLUCK, s.arp_volume + (i % 4 == 0 ? 8 : 0));
    }
  }
}

void write_melody(xm_pattern &p, const section &s) {
  if (!s.tune) return;
  const melody &tune = *s.tune;
  for (size_t i = 0; i < tune.size(); ++i) {
    const melody_note &n = tune[i];
    const int row = n.bar * 16 + n.row, end = row + n.length;
    put(p, row, LEAD_CH, n.note, s.tune_instrument, n.row % 4 == 0 ? 48 : 40);
    // Long notes get a gentle vibrato after they have settled.
    if (s.tune_instrument == LEAD)
      for (int k = row + 4; k < end && k < ROWS && n.length >= 8; ++k)
        p.at(k, LEAD_CH).effect = 0x04, p.at(k, LEAD_CH).parameter = 0x43;
    const bool next_starts_here = i + 1 < tune.size() && tune[i + 1].bar * 16 + tune[i + 1].row == end;
    if (s.tune_instrument == LEAD && !next_starts_here && end < ROWS) p.at(end, LEAD_CH).note = XM_KEY_OFF;
  }
}

void write_cues(xm_pattern &p, const section &s) {
  if (s.crash) put(p, 0, CUE_CH, note(C, 4), CRASH, s.drums == INTRO_DRUMS ? 40 : 52);
  const chord &third_bar = (*s.chords)[2];
  if (s.accent == STAB) put(p, 32, CUE_CH, place(third_bar.root, note(G, 3)), STAB, 50);
  if (s.accent == BELL) put(p, 32, CUE_CH, place(third_bar.fifth, note(C, 5)), BELL, 46);
}

} // namespace

xm_module content_song() {
  xm_module song;
  song.name = "RETRO";
  song.tracker = "quarvelin content";
  song.channels = CHANNELS;
  song.speed = 6;
  song.tempo = 150;
  song.restart = LOOP_START_ORDER;
  song.instruments = make_instruments();
  for (const section &s : SONG) {
    xm_pattern pattern = xm_make_pattern(ROWS, CHANNELS);
    write_drums(pattern, s);
    write_harmony(pattern, s);
    write_melody(pattern, s);
    write_cues(pattern, s);
    song.orders.push_back(uint8_t(song.patterns.size()));
    song.patterns.push_back(std::move(pattern));
  }
  return song;
}

double content_row_seconds(const xm_module &song) {
  return song.speed * 2.5 / song.tempo;
}

double content_loop_seconds(const xm_module &song) {
  double rows = 0;
  for (uint8_t order : song.orders) rows += song.patterns[order].rows;
  return rows * content_row_seconds(song);
}

std::vector<content_cue> content_cues(const xm_module &song) {
  // The player's own cue rules decide, as the show will hear the song.
  const std::vector<uint8_t> bytes = xm_write(song);
  const int64_t size = int64_t(bytes.size());
  int32_t count = 0;
  if (sound_render(bytes.data(), size, MUSIC_MIXING_RATE, 0, nullptr, nullptr, 0, &count) < 0) return {};
  std::vector<sound_cue> played(static_cast<size_t>(count));
  sound_render(bytes.data(), size, MUSIC_MIXING_RATE, 0, nullptr, played.data(), count, &count);
  std::vector<content_cue> cues;
  for (const sound_cue &cue : played)
    if (cue.instrument == CUE_INSTRUMENT_NEXT_SCENE || cue.instrument == CUE_INSTRUMENT_LOGO ||
        cue.instrument == CUE_INSTRUMENT_CREDITS)
      cues.push_back({cue.instrument, cue.order, cue.row, double(cue.sample) / MUSIC_MIXING_RATE});
  return cues;
}
