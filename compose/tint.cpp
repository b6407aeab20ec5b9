// Colour tint: every pixel rebuilt from its low byte and the frame's phase.
//
// The result depends only on the pixel's low byte s and the phase, so each
// call first evaluates the exact formula for all 256 byte values. For almost
// every phase each channel of that table is s + a for s below some k and
// s + a - 1 from k on: truncation toward zero steps down by one where
// s + factor * phase changes sign. The frame is then rewritten 16 or 32
// pixels at a time with one byte compare and two byte adds per channel. For
// the few phases whose table has another shape (|phase| so tiny that double
// rounding swallows it for the larger |s|), every pixel goes through the
// table instead.
#include "compose/compose.h"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TINT_X86 1
#else
#define TINT_X86 0
#endif

float tint_phase;
int32_t tint_kernel_limit = TINT_KERNEL_AVX2;

// Per channel (blue, green, red): the byte is s + add, minus 1 where
// s > threshold, modulo 256 with s signed. Blue never steps.
struct tint_rule {
  uint8_t add[3];
  int8_t threshold[3];
};

static void build_tint_table(float phase, uint32_t *table) {
  int32_t blue_shift = int32_t(phase);
  double green_shift = double(TINT_GREEN_FACTOR) * double(phase);
  double red_shift = double(TINT_RED_FACTOR) * double(phase);
  for (int32_t byte = 0; byte < 256; ++byte) {
    int32_t s = int8_t(uint8_t(byte));
    uint32_t blue = uint32_t(s - blue_shift) & 0xFFu;
    uint32_t green = uint32_t(int32_t(double(s) + green_shift)) & 0xFFu;
    uint32_t red = uint32_t(int32_t(double(s) + red_shift)) & 0xFFu;
    table[byte] = red << 16 | green << 8 | blue;
  }
}

// 1 when the table has the shape of a tint_rule, which is then filled in.
static int derive_tint_rule(const uint32_t *table, tint_rule *rule) {
  for (int32_t channel = 0; channel < 3; ++channel) {
    int32_t step_at = 128; // first s whose difference steps down
    uint8_t first_difference = uint8_t(uint8_t(table[0x80] >> (8 * channel)) + 128);
    for (int32_t s = -127; s < 128; ++s) {
      uint8_t difference = uint8_t(uint8_t(table[uint8_t(s)] >> (8 * channel)) - s);
      uint8_t expected = uint8_t(first_difference - (s >= step_at ? 1 : 0));
      if (difference == expected) continue;
      if (step_at != 128 || difference != uint8_t(first_difference - 1)) return 0;
      step_at = s;
    }
    if (channel == 0 && step_at != 128) return 0;
    rule->add[channel] = first_difference;
    rule->threshold[channel] = int8_t(step_at - 1);
  }
  return 1;
}

// The kernels below rewrite one band of 8 frame rows, the rows of one row of
// noise cells. Per pixel: s = the low byte, replaced by the picture's byte
// where a keyed picture is given and that byte is not 0, then plus the cell's
// noise q where noise is given; the pixel becomes the tint of s. noise holds
// q * 0x01010101 for each of the band's 80 cells.

static void tint_band_table(uint32_t *rows, const uint8_t *picture, const uint32_t *noise,
                            const uint32_t *table) {
  for (int32_t j = 0; j < NOISE_CELL; ++j) {
    uint32_t *line = rows + j * FRAME_WIDTH;
    const uint8_t *source = picture ? picture + j * FRAME_WIDTH : nullptr;
    for (int32_t x = 0; x < FRAME_WIDTH; ++x) {
      uint32_t s = line[x];
      if (source && source[x] != 0) s = source[x];
      if (noise) s += noise[x / NOISE_CELL];
      line[x] = table[s & 0xFFu];
    }
  }
}

#if TINT_X86
// 16 pixels per step: the 16 low bytes are packed into one register, each
// channel is computed byte-wise, and the channels are interleaved back into
// pixels.
static void tint_band_sse2(uint32_t *rows, const uint8_t *picture, const uint32_t *noise,
                           const tint_rule *rule) {
  const __m128i low_byte = _mm_set1_epi32(0xFF), zero = _mm_setzero_si128();
  __m128i add[3], threshold[3];
  for (int32_t c = 0; c < 3; ++c) {
    add[c] = _mm_set1_epi8(char(rule->add[c]));
    threshold[c] = _mm_set1_epi8(rule->threshold[c]);
  }
  for (int32_t j = 0; j < NOISE_CELL; ++j) {
    uint32_t *line = rows + j * FRAME_WIDTH;
    const uint8_t *source = picture ? picture + j * FRAME_WIDTH : nullptr;
    for (int32_t x = 0; x < FRAME_WIDTH; x += 16) {
      __m128i *p = reinterpret_cast<__m128i *>(line + x);
      __m128i s = _mm_packus_epi16(
          _mm_packs_epi32(_mm_and_si128(_mm_loadu_si128(p), low_byte),
                          _mm_and_si128(_mm_loadu_si128(p + 1), low_byte)),
          _mm_packs_epi32(_mm_and_si128(_mm_loadu_si128(p + 2), low_byte),
                          _mm_and_si128(_mm_loadu_si128(p + 3), low_byte)));
      if (source) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + x));
        s = _mm_or_si128(v, _mm_and_si128(_mm_cmpeq_epi8(v, zero), s));
      }
      if (noise) {
        __m128i cells = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(noise + x / NOISE_CELL));
        s = _mm_add_epi8(s, _mm_unpacklo_epi32(cells, cells));
      }
      __m128i blue = _mm_add_epi8(s, add[0]);
      __m128i green = _mm_add_epi8(_mm_add_epi8(s, add[1]), _mm_cmpgt_epi8(s, threshold[1]));
      __m128i red = _mm_add_epi8(_mm_add_epi8(s, add[2]), _mm_cmpgt_epi8(s, threshold[2]));
      __m128i blue_green_0 = _mm_unpacklo_epi8(blue, green);
      __m128i blue_green_1 = _mm_unpackhi_epi8(blue, green);
      __m128i red_0 = _mm_unpacklo_epi8(red, zero);
      __m128i red_1 = _mm_unpackhi_epi8(red, zero);
      _mm_storeu_si128(p, _mm_unpacklo_epi16(blue_green_0, red_0));
      _mm_storeu_si128(p + 1, _mm_unpackhi_epi16(blue_green_0, red_0));
      _mm_storeu_si128(p + 2, _mm_unpacklo_epi16(blue_green_1, red_1));
      _mm_storeu_si128(p + 3, _mm_unpackhi_epi16(blue_green_1, red_1));
    }
  }
}

// The same with 32 pixels per step. The packs work within each 128-bit half,
// so the packed bytes are pixels 0-3, 8-11, 16-19, 24-27, then 4-7, 12-15,
// 20-23, 28-31 (one 8-pixel cell per 4 bytes in each half); the picture bytes
// are put in that order, and the unpacks restore pixel order exactly.
__attribute__((target("avx2"))) static void tint_band_avx2(uint32_t *rows, const uint8_t *picture,
                                                           const uint32_t *noise,
                                                           const tint_rule *rule) {
  const __m256i low_byte = _mm256_set1_epi32(0xFF), zero = _mm256_setzero_si256();
  const __m256i packed_order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  __m256i add[3], threshold[3];
  for (int32_t c = 0; c < 3; ++c) {
    add[c] = _mm256_set1_epi8(char(rule->add[c]));
    threshold[c] = _mm256_set1_epi8(rule->threshold[c]);
  }
  for (int32_t j = 0; j < NOISE_CELL; ++j) {
    uint32_t *line = rows + j * FRAME_WIDTH;
    const uint8_t *source = picture ? picture + j * FRAME_WIDTH : nullptr;
    for (int32_t x = 0; x < FRAME_WIDTH; x += 32) {
      __m256i *p = reinterpret_cast<__m256i *>(line + x);
      __m256i s = _mm256_packus_epi16(
          _mm256_packs_epi32(_mm256_and_si256(_mm256_loadu_si256(p), low_byte),
                             _mm256_and_si256(_mm256_loadu_si256(p + 1), low_byte)),
          _mm256_packs_epi32(_mm256_and_si256(_mm256_loadu_si256(p + 2), low_byte),
                             _mm256_and_si256(_mm256_loadu_si256(p + 3), low_byte)));
      if (source) {
        __m256i v = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(source + x)), packed_order);
        s = _mm256_or_si256(v, _mm256_and_si256(_mm256_cmpeq_epi8(v, zero), s));
      }
      if (noise)
        s = _mm256_add_epi8(s, _mm256_broadcastsi128_si256(_mm_loadu_si128(
                                   reinterpret_cast<const __m128i *>(noise + x / NOISE_CELL))));
      __m256i blue = _mm256_add_epi8(s, add[0]);
      __m256i green =
          _mm256_add_epi8(_mm256_add_epi8(s, add[1]), _mm256_cmpgt_epi8(s, threshold[1]));
      __m256i red = _mm256_add_epi8(_mm256_add_epi8(s, add[2]), _mm256_cmpgt_epi8(s, threshold[2]));
      __m256i blue_green_0 = _mm256_unpacklo_epi8(blue, green);
      __m256i blue_green_1 = _mm256_unpackhi_epi8(blue, green);
      __m256i red_0 = _mm256_unpacklo_epi8(red, zero);
      __m256i red_1 = _mm256_unpackhi_epi8(red, zero);
      _mm256_storeu_si256(p, _mm256_unpacklo_epi16(blue_green_0, red_0));
      _mm256_storeu_si256(p + 1, _mm256_unpackhi_epi16(blue_green_0, red_0));
      _mm256_storeu_si256(p + 2, _mm256_unpacklo_epi16(blue_green_1, red_1));
      _mm256_storeu_si256(p + 3, _mm256_unpackhi_epi16(blue_green_1, red_1));
    }
  }
}
#endif

// The whole frame, band by band; picture and field may each be null.
static void tint_bands(const uint8_t *picture, const uint32_t *field, uint32_t *frame,
                       float phase) {
  uint32_t table[256];
  build_tint_table(phase, table);
  tint_rule rule;
  int use_rule = derive_tint_rule(table, &rule);
#if TINT_X86
  int use_avx2 = tint_kernel_limit >= TINT_KERNEL_AVX2 && __builtin_cpu_supports("avx2");
  use_rule = use_rule && tint_kernel_limit >= TINT_KERNEL_SSE2;
#endif
  uint32_t noise[NOISE_COLS];
  for (int32_t row = 0; row < NOISE_ROWS; ++row) {
    if (field)
      for (int32_t col = 0; col < NOISE_COLS; ++col)
        noise[col] = noise_cell_offset(field[row * NOISE_COLS + col]) * 0x01010101u;
    const uint32_t *band_noise = field ? noise : nullptr;
    const uint8_t *band_picture = picture ? picture + row * NOISE_CELL * FRAME_WIDTH : nullptr;
    uint32_t *rows = frame + row * NOISE_CELL * FRAME_WIDTH;
#if TINT_X86
    if (use_rule && use_avx2) tint_band_avx2(rows, band_picture, band_noise, &rule);
    else if (use_rule) tint_band_sse2(rows, band_picture, band_noise, &rule);
    else tint_band_table(rows, band_picture, band_noise, table);
#else
    (void)use_rule;
    tint_band_table(rows, band_picture, band_noise, table);
#endif
  }
}

void tint_frame(uint32_t *frame, float phase) { tint_bands(nullptr, nullptr, frame, phase); }

void add_noise_and_tint(const uint32_t *field, uint32_t *frame, float phase) {
  tint_bands(nullptr, field, frame, phase);
}

void draw_keyed_noise_tint(const uint8_t *picture, const uint32_t *field, uint32_t *frame,
                           float phase) {
  tint_bands(picture, field, frame, phase);
}
