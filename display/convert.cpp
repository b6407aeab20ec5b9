// Row converters from 0x00RRGGBB frame pixels to the screen's layouts.
//
// Every converter runs a grouped body over several pixels at a time and
// finishes the rest one pixel at a time; both give the same bytes. Source and
// destination may sit at any address (every access goes through memcpy or
// unaligned loads and stores), and nothing is written past `count` pixels.
//
// Grouped bodies come in three tiers:
//   - 64-bit integer operations, on any processor;
//   - SSE2, always present on x86-64;
//   - VEX-128: 128-bit code like the SSE2 tier's, plus byte shuffles (SSSE3)
//     for the 24-bit and 32-bit BGR layouts and the unsigned pack (SSE4.1)
//     for 565, compiled in the VEX encoding, which is shorter to decode on
//     processors that decode few instructions per cycle. Every processor
//     with AVX runs it (checked once at run time); it uses no 256-bit
//     registers.
// QUARVELIN_CONVERT_PORTABLE builds only the first tier, and
// QUARVELIN_CONVERT_SSE2_ONLY leaves out the third, so that the tests can run
// every tier on one machine.
#include "display/convert.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) && !defined(QUARVELIN_CONVERT_PORTABLE)
#define CONVERT_SSE2 1
#include <emmintrin.h>
#if defined(__GNUC__) && !defined(QUARVELIN_CONVERT_SSE2_ONLY)
#define CONVERT_VEX128 1
#include <smmintrin.h>
#include <tmmintrin.h>
// The "avx" target gives the VEX encoding (and with it SSSE3 and SSE4.1).
#define CONVERT_VEX128_TARGET __attribute__((target("avx")))
#endif
#endif

namespace {

// ---- memory access at any alignment ----

inline uint32_t load32(const uint8_t *address) {
  uint32_t value;
  std::memcpy(&value, address, 4);
  return value;
}

// Two pixels, the first in the low half (one 8-byte load on little-endian
// processors).
inline uint64_t load_pair(const uint8_t *address) {
  return uint64_t(load32(address)) | uint64_t(load32(address + 4)) << 32;
}

// The low `N` bytes of `value`, little-endian.
template <size_t N, typename T> inline void store_little(uint8_t *address, T value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(address, &value, N);
  } else {
    for (size_t i = 0; i < N; ++i)
      address[i] = uint8_t(value >> (8 * i));
  }
}

inline void store16(uint8_t *address, uint32_t value) { store_little<2>(address, value); }
inline void store24(uint8_t *address, uint32_t value) { store_little<3>(address, value); }
inline void store32(uint8_t *address, uint32_t value) { store_little<4>(address, value); }
inline void store64(uint8_t *address, uint64_t value) { store_little<8>(address, value); }

inline const uint8_t *bytes_of(const uint32_t *source) {
  return reinterpret_cast<const uint8_t *>(source);
}

#if CONVERT_SSE2
inline __m128i load128(const uint8_t *address) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(address));
}

inline void store128(uint8_t *address, __m128i value) {
  _mm_storeu_si128(reinterpret_cast<__m128i *>(address), value);
}
#endif

// ---- one pixel ----

// 0x00RRGGBB -> 0x00BBGGRR.
inline uint32_t swap_red_blue(uint32_t p) {
  return (p & 0xFFu) << 16 | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// The 16-bit layouts keep the top bits of each channel. Red and blue, masked
// to their top five bits, are placed by one multiply-add (low word of the
// pixel times LOW, high word times HIGH); green is masked in place; one
// right shift then lines all three up. LOW and HIGH choose the channel order:
//   565 (green mask 0xFC00, shift 5): RGB multiplies blue by 4 and red by
//       0x2000, BGR the other way round;
//   555 (green mask 0xF800, shift 6): RGB multiplies blue by 8 and red by
//       0x2000, BGR the other way round. Bit 15 stays zero.
constexpr uint32_t GREEN_565 = 0xFC00, SHIFT_565 = 5;
constexpr uint32_t GREEN_555 = 0xF800, SHIFT_555 = 6;

template <uint32_t LOW, uint32_t HIGH, uint32_t GREEN_MASK, uint32_t SHIFT>
inline uint32_t pack16(uint32_t p) {
  return ((p & 0xF8u) * LOW + ((p >> 16) & 0xF8u) * HIGH + (p & GREEN_MASK)) >> SHIFT;
}

// The same on the two pixels of a 64-bit word: the sums stay below 2^21 and
// their low SHIFT bits are zero, so one multiplication and one shift serve
// both halves. Returns the two 16-bit results in the low 32 bits.
template <uint32_t LOW, uint32_t HIGH, uint32_t GREEN_MASK, uint32_t SHIFT>
inline uint64_t pack16_pair(uint64_t pair) {
  const uint64_t red_blue = pair & 0x00F800F800F800F8u;
  const uint64_t green = pair & (uint64_t(GREEN_MASK) << 32 | GREEN_MASK);
  const uint64_t sums = ((red_blue & 0x0000FFFF0000FFFFu) * LOW +
                         ((red_blue >> 16) & 0x0000FFFF0000FFFFu) * HIGH + green) >>
                        SHIFT;
  return (sums & 0xFFFFu) | ((sums >> 16) & 0xFFFF0000u);
}

// 0x00RRGGBB -> 0x00BBGGRR in both halves of a 64-bit word.
inline uint64_t swap_red_blue_pair(uint64_t pair) {
  return ((pair << 16) & 0x00FF000000FF0000u) | (pair & 0x0000FF000000FF00u) |
         ((pair >> 16) & 0x000000FF000000FFu);
}

// Two pixels of a 64-bit word as 6 bytes in its low 48 bits.
inline uint64_t pack24_pair(uint64_t pair) {
  return (pair & 0x0000000000FFFFFFu) | ((pair >> 8) & 0x0000FFFFFF000000u);
}

#if CONVERT_VEX128
// Decided before main; until then (or without AVX) the SSE2 bodies run.
const bool cpu_runs_vex128 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}();
#endif

// ---- grouped bodies ----
// Each converts whole groups from the start of the row and returns the
// number of pixels (or bytes, for the copy) it has done.

inline size_t copy_32_blocks(const uint8_t *source, uint8_t *destination, size_t bytes) {
  const size_t blocks = bytes / 64;
  for (size_t i = 0; i < blocks; ++i, source += 64, destination += 64) {
#if CONVERT_SSE2
    const __m128i a = load128(source), b = load128(source + 16);
    const __m128i c = load128(source + 32), d = load128(source + 48);
    store128(destination, a);
    store128(destination + 16, b);
    store128(destination + 32, c);
    store128(destination + 48, d);
#else
    uint64_t block[8];
    std::memcpy(block, source, 64);
    std::memcpy(destination, block, 64);
#endif
  }
  return blocks * 64;
}

#if CONVERT_SSE2
// 0x00RRGGBB -> 0x00BBGGRR in four lanes: rotating each lane by 16 bits
// brings red and blue to each other's place; green stays.
inline __m128i swap_red_blue_128(__m128i pixels) {
  const __m128i rotated = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, 0xB1), 0xB1);
  return _mm_or_si128(_mm_and_si128(rotated, _mm_set1_epi32(0x00FF00FF)),
                      _mm_and_si128(pixels, _mm_set1_epi32(0x0000FF00)));
}
#endif

// 32-bit BGR: four pixels at a time.
inline uint32_t swap_32_groups(const uint8_t *source, uint8_t *destination, uint32_t count) {
  const uint32_t groups = count / 4;
  for (uint32_t i = 0; i < groups; ++i, source += 16, destination += 16) {
#if CONVERT_SSE2
    store128(destination, swap_red_blue_128(load128(source)));
#else
    store64(destination, swap_red_blue_pair(load_pair(source)));
    store64(destination + 8, swap_red_blue_pair(load_pair(source + 8)));
#endif
  }
  return groups * 4;
}

// 24-bit: four pixels (two 64-bit words) become 12 bytes; each word's two
// pixels are packed to 6 bytes and the halves are joined end to end.
template <bool SWAP>
inline uint32_t pack_24_groups(const uint8_t *source, uint8_t *destination, uint32_t count) {
  const uint32_t groups = count / 4;
  uint32_t i = 0;
#if CONVERT_SSE2
  // The two 6-byte halves are stored as 8 bytes each, the second one 6 bytes
  // after the first: it writes 2 bytes beyond its group, which the next
  // group or pixel then overwrites. Only groups whose extra bytes stay inside
  // the row go this way; the others take the 64-bit integer body below.
  const size_t row_bytes = size_t(count) * 3;
  for (; i < groups && size_t(i) * 12 + 14 <= row_bytes; ++i, source += 16, destination += 12) {
    __m128i pixels = load128(source);
    if (SWAP)
      pixels = swap_red_blue_128(pixels);
    const __m128i first = _mm_and_si128(pixels, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF));
    const __m128i second =
        _mm_and_si128(_mm_srli_epi64(pixels, 8),
                      _mm_set_epi32(0x0000FFFF, int(0xFF000000), 0x0000FFFF, int(0xFF000000)));
    const __m128i halves = _mm_or_si128(first, second);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), halves);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination + 6),
                     _mm_unpackhi_epi64(halves, halves));
  }
#endif
  for (; i < groups; ++i, source += 16, destination += 12) {
    uint64_t first = load_pair(source), second = load_pair(source + 8);
    if (SWAP) {
      first = swap_red_blue_pair(first);
      second = swap_red_blue_pair(second);
    }
    first = pack24_pair(first);
    second = pack24_pair(second);
    store64(destination, first | second << 48);
    store32(destination + 8, uint32_t(second >> 16));
  }
  return groups * 4;
}

#if CONVERT_SSE2
// The multiply-add of pack16 on four pixels: each 32-bit lane holds its
// pixel's result shifted left by the layout's shift.
template <uint32_t LOW, uint32_t HIGH, uint32_t GREEN_MASK>
inline __m128i pack16_unshifted(__m128i pixels) {
  const __m128i multipliers = _mm_set1_epi32(int(HIGH << 16 | LOW));
  const __m128i red_blue = _mm_and_si128(pixels, _mm_set1_epi32(0x00F800F8));
  const __m128i green = _mm_and_si128(pixels, _mm_set1_epi32(int(GREEN_MASK)));
  return _mm_or_si128(_mm_madd_epi16(red_blue, multipliers), green);
}
#endif

#if CONVERT_SSE2
// Eight pixels of a 16-bit layout, each 32-bit lane of the two halves
// holding its result in its low 16 bits.
template <uint32_t LOW, uint32_t HIGH, uint32_t GREEN_MASK, uint32_t SHIFT>
inline void pack16_eight(const uint8_t *source, __m128i &first, __m128i &second) {
  first = _mm_srli_epi32(pack16_unshifted<LOW, HIGH, GREEN_MASK>(load128(source)), SHIFT);
  second = _mm_srli_epi32(pack16_unshifted<LOW, HIGH, GREEN_MASK>(load128(source + 16)), SHIFT);
}

// 565 results use all 16 bits, out of the signed pack's range: they are
// packed less 0x8000, which is exact, and the bias is flipped back after.
inline __m128i pack_unsigned_sse2(__m128i first, __m128i second) {
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i packed =
      _mm_packs_epi32(_mm_sub_epi32(first, bias), _mm_sub_epi32(second, bias));
  return _mm_xor_si128(packed, _mm_set1_epi16(int16_t(-0x8000)));
}

// Two halves of 32-bit lanes holding 16-bit results -> one of 16-bit lanes.
typedef __m128i (*pack_unsigned_fn)(__m128i first, __m128i second);

template <pack_unsigned_fn PACK, uint32_t LOW, uint32_t HIGH>
inline __m128i convert_565_eight(const uint8_t *source) {
  __m128i first, second;
  pack16_eight<LOW, HIGH, GREEN_565, SHIFT_565>(source, first, second);
  return PACK(first, second);
}

// 555 results stay below 0x8000, so the signed pack keeps them as they are.
template <uint32_t LOW, uint32_t HIGH> inline __m128i convert_555_eight(const uint8_t *source) {
  __m128i first, second;
  pack16_eight<LOW, HIGH, GREEN_555, SHIFT_555>(source, first, second);
  return _mm_packs_epi32(first, second);
}

// Runs `eight` (8 pixels -> 16 bytes) over the row, four times per round
// from one address, which takes fewer instructions per pixel than a loop
// step for each; returns the number of pixels done.
template <__m128i (*eight)(const uint8_t *)>
inline uint32_t convert_by_eights(const uint8_t *source, uint8_t *destination, uint32_t count) {
  const uint32_t eights = count / 8;
  uint32_t i = 0;
  for (; i + 4 <= eights; i += 4, source += 128, destination += 64) {
    store128(destination, eight(source));
    store128(destination + 16, eight(source + 32));
    store128(destination + 32, eight(source + 64));
    store128(destination + 48, eight(source + 96));
  }
  for (; i < eights; ++i, source += 32, destination += 16)
    store128(destination, eight(source));
  return eights * 8;
}
#endif

#if CONVERT_SSE2
// 565 by 128-bit code: two groups of four pixels per 16-byte store, and a
// last odd group alone. PACK is the tier's unsigned pack.
template <pack_unsigned_fn PACK, uint32_t LOW, uint32_t HIGH>
inline uint32_t pack_565_groups_128(const uint8_t *source, uint8_t *destination, uint32_t count) {
  const uint32_t groups = count / 4;
  const uint32_t done =
      convert_by_eights<convert_565_eight<PACK, LOW, HIGH>>(source, destination, count);
  if (groups % 2) {
    const __m128i results = _mm_srli_epi32(
        pack16_unshifted<LOW, HIGH, GREEN_565>(load128(source + size_t(done) * 4)), SHIFT_565);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination + size_t(done) * 2),
                     PACK(results, results));
  }
  return groups * 4;
}
#endif

// 565: groups of four pixels (two 64-bit words -> one 64-bit word).
template <uint32_t LOW, uint32_t HIGH>
inline uint32_t pack_565_groups(const uint8_t *source, uint8_t *destination, uint32_t count) {
#if CONVERT_SSE2
  return pack_565_groups_128<pack_unsigned_sse2, LOW, HIGH>(source, destination, count);
#else
  const uint32_t groups = count / 4;
  for (uint32_t i = 0; i < groups; ++i, source += 16, destination += 8) {
    const uint64_t first = pack16_pair<LOW, HIGH, GREEN_565, SHIFT_565>(load_pair(source));
    const uint64_t second = pack16_pair<LOW, HIGH, GREEN_565, SHIFT_565>(load_pair(source + 8));
    store64(destination, first | second << 32);
  }
  return groups * 4;
#endif
}

// 555: groups of eight pixels (four 64-bit words -> two 64-bit words).
template <uint32_t LOW, uint32_t HIGH>
inline uint32_t pack_555_groups(const uint8_t *source, uint8_t *destination, uint32_t count) {
#if CONVERT_SSE2
  return convert_by_eights<convert_555_eight<LOW, HIGH>>(source, destination, count);
#else
  const uint32_t groups = count / 8;
  for (uint32_t i = 0; i < groups; ++i, source += 32, destination += 16) {
    uint64_t words[4];
    for (int w = 0; w < 4; ++w)
      words[w] = pack16_pair<LOW, HIGH, GREEN_555, SHIFT_555>(load_pair(source + 8 * w));
    store64(destination, words[0] | words[1] << 32);
    store64(destination + 8, words[2] | words[3] << 32);
  }
  return groups * 8;
#endif
}

#if CONVERT_VEX128
CONVERT_VEX128_TARGET size_t copy_32_blocks_vex128(const uint8_t *source, uint8_t *destination,
                                             size_t bytes) {
  return copy_32_blocks(source, destination, bytes);
}

CONVERT_VEX128_TARGET uint32_t swap_32_groups_vex128(const uint8_t *source, uint8_t *destination,
                                               uint32_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1);
  const uint32_t groups = count / 4;
#pragma GCC unroll 4
  for (uint32_t i = 0; i < groups; ++i)
    store128(destination + size_t(i) * 16,
             _mm_shuffle_epi8(load128(source + size_t(i) * 16), order));
  return groups * 4;
}

// Byte shuffles for 24-bit rows: four groups (16 pixels, four 16-byte
// loads) fill three 16-byte stores, each one the OR of two shuffled loads.
// Output byte k is byte k % 3 of pixel k / 3, or byte 2 - k % 3 of it when
// red comes first.
struct shuffles_24 {
  int8_t order[3][2][16]; // [store][first or second load it draws from][byte]
};

constexpr shuffles_24 make_shuffles_24(bool swap) {
  shuffles_24 s{};
  for (int store = 0; store < 3; ++store)
    for (int half = 0; half < 2; ++half)
      for (int t = 0; t < 16; ++t) {
        const int k = store * 16 + t, pixel = k / 3, byte = swap ? 2 - k % 3 : k % 3;
        // Store 0 draws on loads 0 and 1, store 1 on loads 1 and 2, store 2 on 2 and 3.
        s.order[store][half][t] = int8_t(pixel / 4 == store + half ? (pixel % 4) * 4 + byte : -1);
      }
  return s;
}

constexpr shuffles_24 SHUFFLES_24[2] = {make_shuffles_24(false), make_shuffles_24(true)};

inline __m128i load_order(const int8_t *order) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(order));
}

template <bool SWAP>
CONVERT_VEX128_TARGET uint32_t pack_24_groups_vex128(const uint8_t *source, uint8_t *destination,
                                               uint32_t count) {
  const shuffles_24 &s = SHUFFLES_24[SWAP];
  const __m128i order00 = load_order(s.order[0][0]), order01 = load_order(s.order[0][1]);
  const __m128i order11 = load_order(s.order[1][0]), order12 = load_order(s.order[1][1]);
  const __m128i order22 = load_order(s.order[2][0]), order23 = load_order(s.order[2][1]);
  const uint32_t groups = count / 4;
  uint32_t i = 0;
  for (; i + 4 <= groups; i += 4, source += 64, destination += 48) {
    const __m128i a = load128(source), b = load128(source + 16);
    const __m128i c = load128(source + 32), d = load128(source + 48);
    store128(destination, _mm_or_si128(_mm_shuffle_epi8(a, order00), _mm_shuffle_epi8(b, order01)));
    store128(destination + 16,
             _mm_or_si128(_mm_shuffle_epi8(b, order11), _mm_shuffle_epi8(c, order12)));
    store128(destination + 32,
             _mm_or_si128(_mm_shuffle_epi8(c, order22), _mm_shuffle_epi8(d, order23)));
  }
  // Single groups: the first store's shuffle puts a group's 12 bytes first.
  for (; i < groups; ++i, source += 16, destination += 12) {
    const __m128i a = _mm_shuffle_epi8(load128(source), order00);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), a);
    const uint32_t last = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(a, 8)));
    std::memcpy(destination + 8, &last, 4);
  }
  return groups * 4;
}

// SSE4.1's unsigned pack: exact, as every result fits in 16 bits.
CONVERT_VEX128_TARGET inline __m128i pack_unsigned_sse41(__m128i first, __m128i second) {
  return _mm_packus_epi32(first, second);
}

// Flattened: the shared body is inlined here, in the VEX encoding, and only
// here can the SSE4.1 pack be inlined into it.
template <uint32_t LOW, uint32_t HIGH>
CONVERT_VEX128_TARGET __attribute__((flatten)) uint32_t pack_565_groups_vex128(const uint8_t *source, uint8_t *destination,
                                                      uint32_t count) {
  return pack_565_groups_128<pack_unsigned_sse41, LOW, HIGH>(source, destination, count);
}

template <uint32_t LOW, uint32_t HIGH>
CONVERT_VEX128_TARGET uint32_t pack_555_groups_vex128(const uint8_t *source, uint8_t *destination,
                                                uint32_t count) {
  return pack_555_groups<LOW, HIGH>(source, destination, count);
}
#endif

// ---- the tier's grouped body, then the rest one pixel at a time ----

template <uint32_t LOW, uint32_t HIGH>
void convert_565(const uint32_t *source, uint8_t *destination, uint32_t count) {
  const uint8_t *from = bytes_of(source);
#if CONVERT_VEX128
  uint32_t i = cpu_runs_vex128 ? pack_565_groups_vex128<LOW, HIGH>(from, destination, count)
                               : pack_565_groups<LOW, HIGH>(from, destination, count);
#else
  uint32_t i = pack_565_groups<LOW, HIGH>(from, destination, count);
#endif
  for (; i < count; ++i)
    store16(destination + size_t(i) * 2,
            pack16<LOW, HIGH, GREEN_565, SHIFT_565>(load32(from + size_t(i) * 4)));
}

template <uint32_t LOW, uint32_t HIGH>
void convert_555(const uint32_t *source, uint8_t *destination, uint32_t count) {
  const uint8_t *from = bytes_of(source);
#if CONVERT_VEX128
  uint32_t i = cpu_runs_vex128 ? pack_555_groups_vex128<LOW, HIGH>(from, destination, count)
                                   : pack_555_groups<LOW, HIGH>(from, destination, count);
#else
  uint32_t i = pack_555_groups<LOW, HIGH>(from, destination, count);
#endif
  for (; i < count; ++i)
    store16(destination + size_t(i) * 2,
            pack16<LOW, HIGH, GREEN_555, SHIFT_555>(load32(from + size_t(i) * 4)));
}

template <bool SWAP> void convert_24(const uint32_t *source, uint8_t *destination, uint32_t count) {
  const uint8_t *from = bytes_of(source);
#if CONVERT_VEX128
  uint32_t i = cpu_runs_vex128 ? pack_24_groups_vex128<SWAP>(from, destination, count)
                                   : pack_24_groups<SWAP>(from, destination, count);
#else
  uint32_t i = pack_24_groups<SWAP>(from, destination, count);
#endif
  for (; i < count; ++i) {
    const uint32_t p = load32(from + size_t(i) * 4);
    store24(destination + size_t(i) * 3, SWAP ? swap_red_blue(p) : p);
  }
}

} // namespace

void convert_copy_32(const uint32_t *source, uint8_t *destination, uint32_t count) {
  const uint8_t *from = bytes_of(source);
  const size_t bytes = size_t(count) * 4;
#if CONVERT_VEX128
  size_t i = cpu_runs_vex128 ? copy_32_blocks_vex128(from, destination, bytes)
                                 : copy_32_blocks(from, destination, bytes);
#else
  size_t i = copy_32_blocks(from, destination, bytes);
#endif
  for (; i < bytes; ++i)
    destination[i] = from[i];
}

void convert_32_bgr(const uint32_t *source, uint8_t *destination, uint32_t count) {
  const uint8_t *from = bytes_of(source);
#if CONVERT_VEX128
  uint32_t i = cpu_runs_vex128 ? swap_32_groups_vex128(from, destination, count)
                                   : swap_32_groups(from, destination, count);
#else
  uint32_t i = swap_32_groups(from, destination, count);
#endif
  for (; i < count; ++i)
    store32(destination + size_t(i) * 4, swap_red_blue(load32(from + size_t(i) * 4)));
}

void convert_24_rgb(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_24<false>(source, destination, count);
}

void convert_24_bgr(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_24<true>(source, destination, count);
}

void convert_16_rgb565(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_565<4, 0x2000>(source, destination, count);
}

void convert_16_bgr565(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_565<0x2000, 4>(source, destination, count);
}

void convert_16_rgb555(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_555<8, 0x2000>(source, destination, count);
}

void convert_16_bgr555(const uint32_t *source, uint8_t *destination, uint32_t count) {
  convert_555<0x2000, 8>(source, destination, count);
}

row_converter_fn select_converter(uint32_t bits, uint32_t red_mask, uint32_t green_mask,
                                  uint32_t blue_mask) {
  struct layout {
    uint32_t bits, red, green, blue;
    row_converter_fn converter;
  };
  static const layout layouts[] = {
      {32, 0x00FF0000, 0x0000FF00, 0x000000FF, convert_copy_32},
      {32, 0x000000FF, 0x0000FF00, 0x00FF0000, convert_32_bgr},
      {24, 0x00FF0000, 0x0000FF00, 0x000000FF, convert_24_rgb},
      {24, 0x000000FF, 0x0000FF00, 0x00FF0000, convert_24_bgr},
      {16, 0xF800, 0x07E0, 0x001F, convert_16_rgb565},
      {16, 0x001F, 0x07E0, 0xF800, convert_16_bgr565},
      {16, 0x7C00, 0x03E0, 0x001F, convert_16_rgb555},
      {16, 0x001F, 0x03E0, 0x7C00, convert_16_bgr555},
  };
  for (const layout &l : layouts)
    if (l.bits == bits && l.red == red_mask && l.green == green_mask && l.blue == blue_mask)
      return l.converter;
  return nullptr;
}
