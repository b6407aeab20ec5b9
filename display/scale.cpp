// Nearest-pixel scaling of a picture in the screen's layout onto a screen.
//
// A picture row becomes a screen row in one of three ways, the first that
// the placement allows:
//   - byte shuffles (x86-64 with SSSE3, checked once at run time): the row
//     is cut into 16-byte blocks; each block's bytes come from 16 bytes of
//     the picture row, gathered by one shuffle whose pattern, like the
//     block's source, is worked out once per placement;
//   - runs, when enlarging: each picture pixel is stored as a 16-byte block
//     of copies at the start of the screen pixels it covers, the next pixel's
//     block overwriting what spilled past them;
//   - one look-up per screen pixel, for anything else.
#include "display/scale.h"

#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>

// QUARVELIN_SCALE_PORTABLE leaves out the shuffles, QUARVELIN_SCALE_NARROW
// their 32-byte form, so that the tests can run every way on one machine.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(QUARVELIN_SCALE_PORTABLE)
#define SCALE_SHUFFLES 1
#include <immintrin.h>
#define SCALE_SHUFFLE_TARGET __attribute__((target("ssse3")))
// Two blocks at once in 32-byte registers.
#define SCALE_WIDE_SHUFFLE_TARGET __attribute__((target("avx2")))
#endif

// The blocks of copies are built with shifts that assume it.
static_assert(std::endian::native == std::endian::little);

constexpr int32_t BLOCK_BYTES = 16;

scale_placement scale_fit(int32_t picture_width, int32_t picture_height, int32_t screen_width,
                          int32_t screen_height) {
  if (picture_width <= 0 || picture_height <= 0 || screen_width <= 0 || screen_height <= 0)
    return {0, 0, 0, 0};
  int64_t width = screen_width, height = screen_height;
  // Compared across, so no rounding decides which side limits the picture.
  if (int64_t(screen_width) * picture_height <= int64_t(screen_height) * picture_width)
    height = int64_t(picture_height) * screen_width / picture_width;
  else
    width = int64_t(picture_width) * screen_height / picture_height;
  return {int32_t((screen_width - width) / 2), int32_t((screen_height - height) / 2),
          int32_t(width), int32_t(height)};
}

void scale_source_positions(int32_t picture_size, int32_t count, int32_t *positions) {
  // Output pixel i covers [i, i + 1) of `count`; its centre, i + 1/2, lies
  // over picture position (2i + 1) * picture_size / (2 * count).
  for (int32_t i = 0; i < count; ++i)
    positions[i] = int32_t((int64_t(2 * i + 1) * picture_size) / (int64_t(2) * count));
}

// ---- the tables for one placement (module state) ----

static int32_t table_picture_width, table_picture_height, table_width, table_height;
static uint32_t table_bytes_per_pixel;
static int32_t *table_columns, *table_rows;
// Runs: where each picture column's screen pixels start; usable when every
// column has at least one.
static int32_t *table_starts;
static int table_by_runs;
// Shuffles: for each 16-byte block of a screen row, its first byte in the
// picture row and the pattern picking its bytes from there.
static int32_t table_blocks;
static int32_t *table_block_sources;
static uint8_t *table_block_patterns;

static void free_tables() {
  std::free(table_columns);
  std::free(table_rows);
  std::free(table_starts);
  std::free(table_block_sources);
  std::free(table_block_patterns);
  table_columns = table_rows = table_starts = table_block_sources = nullptr;
  table_block_patterns = nullptr;
  table_width = table_height = 0;
  table_blocks = 0;
}

static void make_runs(int32_t picture_width) {
  table_by_runs = 1;
  int32_t column = 0;
  for (int32_t x = 0; x < table_width; ++x) {
    if (x > 0 && table_columns[x] == table_columns[x - 1]) continue;
    if (table_columns[x] != column) table_by_runs = 0; // a column skipped: shrinking
    table_starts[column++] = x;
  }
  if (column != picture_width) table_by_runs = 0;
  table_starts[picture_width] = table_width;
}

// Blocks at every 16 bytes, the last one moved back to end with the row.
static void make_shuffles(int32_t picture_row_bytes) {
  const int32_t bytes_per_pixel = int32_t(table_bytes_per_pixel);
  const int32_t row_bytes = table_width * bytes_per_pixel;
  table_blocks = 0;
  if (row_bytes < BLOCK_BYTES || picture_row_bytes < BLOCK_BYTES) return;
  const int32_t blocks = (row_bytes + BLOCK_BYTES - 1) / BLOCK_BYTES;
  for (int32_t block = 0; block < blocks; ++block) {
    const int32_t start = block + 1 < blocks ? block * BLOCK_BYTES : row_bytes - BLOCK_BYTES;
    int32_t low = picture_row_bytes, high = 0, sources[BLOCK_BYTES];
    for (int32_t i = 0; i < BLOCK_BYTES; ++i) {
      const int32_t byte = start + i;
      sources[i] = table_columns[byte / bytes_per_pixel] * bytes_per_pixel + byte % bytes_per_pixel;
      low = sources[i] < low ? sources[i] : low;
      high = sources[i] > high ? sources[i] : high;
    }
    if (low > picture_row_bytes - BLOCK_BYTES) low = picture_row_bytes - BLOCK_BYTES;
    if (high - low >= BLOCK_BYTES) return; // shrinking too much for one shuffle
    table_block_sources[block] = low;
    for (int32_t i = 0; i < BLOCK_BYTES; ++i)
      table_block_patterns[block * BLOCK_BYTES + i] = uint8_t(sources[i] - low);
  }
  table_blocks = blocks;
}

static int make_tables(int32_t picture_width, int32_t picture_height,
                       const scale_placement &placement, uint32_t bytes_per_pixel) {
  if (table_columns != nullptr && table_picture_width == picture_width &&
      table_picture_height == picture_height && table_width == placement.width &&
      table_height == placement.height && table_bytes_per_pixel == bytes_per_pixel)
    return 1;
  free_tables();
  const size_t blocks = size_t(placement.width) * bytes_per_pixel / BLOCK_BYTES + 1;
  table_columns = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * size_t(placement.width)));
  table_rows = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * size_t(placement.height)));
  table_starts = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * size_t(picture_width + 1)));
  table_block_sources = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * blocks));
  table_block_patterns = static_cast<uint8_t *>(std::malloc(size_t(BLOCK_BYTES) * blocks));
  if (table_columns == nullptr || table_rows == nullptr || table_starts == nullptr ||
      table_block_sources == nullptr || table_block_patterns == nullptr) {
    free_tables();
    return 0;
  }
  table_picture_width = picture_width;
  table_picture_height = picture_height;
  table_width = placement.width;
  table_height = placement.height;
  table_bytes_per_pixel = bytes_per_pixel;
  scale_source_positions(picture_width, placement.width, table_columns);
  scale_source_positions(picture_height, placement.height, table_rows);
  make_runs(picture_width);
  make_shuffles(picture_width * int32_t(bytes_per_pixel));
  return 1;
}

// ---- one row ----

static void scale_row_by_lookup(const uint8_t *source, uint8_t *destination, int32_t from,
                                int32_t count, uint32_t bytes_per_pixel) {
  for (int32_t x = from; x < count; ++x)
    std::memcpy(destination + size_t(x) * bytes_per_pixel,
                source + size_t(table_columns[x]) * bytes_per_pixel, bytes_per_pixel);
}

struct scale_block {
  uint64_t low, high;
};

// 16 bytes of copies of one pixel, from its first byte on.
template <uint32_t bytes_per_pixel> static scale_block block_of(const uint8_t *pixel) {
  uint64_t value = 0;
  std::memcpy(&value, pixel, bytes_per_pixel);
  if constexpr (bytes_per_pixel == 4) {
    value *= 0x0000000100000001ull;
    return {value, value};
  } else if constexpr (bytes_per_pixel == 2) {
    value *= 0x0001000100010001ull;
    return {value, value};
  } else if constexpr (bytes_per_pixel == 1) {
    value *= 0x0101010101010101ull;
    return {value, value};
  } else { // three bytes b0 b1 b2 repeated: the upper half starts at b2
    return {value | value << 24 | value << 48, value >> 16 | value << 8 | value << 32 | value << 56};
  }
}

// The pixel size is a constant here: it divides in the inner loop.
template <uint32_t bytes_per_pixel>
static void scale_row_by_runs(const uint8_t *source, uint8_t *destination, int32_t picture_width,
                              int32_t count) {
  constexpr int32_t lanes = BLOCK_BYTES / int32_t(bytes_per_pixel); // whole pixels in a block
  const size_t row_bytes = size_t(count) * bytes_per_pixel;
  int32_t column = 0;
  for (; column < picture_width; ++column) {
    const int32_t start = table_starts[column], end = table_starts[column + 1];
    const int32_t last_block = start + (end - start - 1) / lanes * lanes;
    if (size_t(last_block) * bytes_per_pixel + BLOCK_BYTES > row_bytes) break;
    const scale_block block = block_of<bytes_per_pixel>(source + size_t(column) * bytes_per_pixel);
    for (int32_t x = start; x <= last_block; x += lanes) {
      uint8_t *to = destination + size_t(x) * bytes_per_pixel;
      std::memcpy(to, &block.low, 8);
      std::memcpy(to + 8, &block.high, 8);
    }
  }
  // What is left near the row's end, where a block would spill past it.
  const int32_t done = column < picture_width ? table_starts[column] : count;
  scale_row_by_lookup(source, destination, done, count, bytes_per_pixel);
}

#if SCALE_SHUFFLES
static const bool cpu_shuffles_bytes = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}();
#if defined(QUARVELIN_SCALE_NARROW)
static const bool cpu_shuffles_wide = false;
#else
static const bool cpu_shuffles_wide = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// Stores each block into all `copies` screen rows that show this picture
// row, while it is in a register, instead of copying the first row.
SCALE_SHUFFLE_TARGET static void scale_rows_by_shuffles(const uint8_t *source, uint8_t *destination,
                                                        int32_t screen_pitch, int32_t copies) {
  const int32_t row_bytes = table_width * int32_t(table_bytes_per_pixel);
  for (int32_t block = 0; block < table_blocks; ++block) {
    const int32_t start = block + 1 < table_blocks ? block * BLOCK_BYTES : row_bytes - BLOCK_BYTES;
    const __m128i bytes = _mm_loadu_si128(
        reinterpret_cast<const __m128i *>(source + table_block_sources[block]));
    const __m128i pattern = _mm_loadu_si128(
        reinterpret_cast<const __m128i *>(table_block_patterns + block * BLOCK_BYTES));
    const __m128i shown = _mm_shuffle_epi8(bytes, pattern);
    uint8_t *to = destination + start;
    for (int32_t copy = 0; copy < copies; ++copy, to += screen_pitch)
      _mm_storeu_si128(reinterpret_cast<__m128i *>(to), shown);
  }
}

// The same with pairs of neighbouring blocks in one 32-byte register (each
// half shuffles within itself); the last block, moved back, goes alone.
SCALE_WIDE_SHUFFLE_TARGET static void scale_rows_by_wide_shuffles(const uint8_t *source,
                                                                  uint8_t *destination,
                                                                  int32_t screen_pitch,
                                                                  int32_t copies) {
  const int32_t row_bytes = table_width * int32_t(table_bytes_per_pixel);
  int32_t block = 0;
  for (; block + 2 < table_blocks; block += 2) {
    const __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(
            reinterpret_cast<const __m128i *>(source + table_block_sources[block]))),
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + table_block_sources[block + 1])),
        1);
    const __m256i pattern = _mm256_loadu_si256(
        reinterpret_cast<const __m256i *>(table_block_patterns + block * BLOCK_BYTES));
    const __m256i shown = _mm256_shuffle_epi8(bytes, pattern);
    uint8_t *to = destination + block * BLOCK_BYTES;
    for (int32_t copy = 0; copy < copies; ++copy, to += screen_pitch)
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(to), shown);
  }
  for (; block < table_blocks; ++block) {
    const int32_t start = block + 1 < table_blocks ? block * BLOCK_BYTES : row_bytes - BLOCK_BYTES;
    const __m128i shown = _mm_shuffle_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + table_block_sources[block])),
        _mm_loadu_si128(
            reinterpret_cast<const __m128i *>(table_block_patterns + block * BLOCK_BYTES)));
    uint8_t *to = destination + start;
    for (int32_t copy = 0; copy < copies; ++copy, to += screen_pitch)
      _mm_storeu_si128(reinterpret_cast<__m128i *>(to), shown);
  }
}
#endif

static void scale_row(const uint8_t *source, uint8_t *destination, int32_t picture_width) {
  if (table_by_runs) {
    switch (table_bytes_per_pixel) {
    case 4:
      return scale_row_by_runs<4>(source, destination, picture_width, table_width);
    case 3:
      return scale_row_by_runs<3>(source, destination, picture_width, table_width);
    case 2:
      return scale_row_by_runs<2>(source, destination, picture_width, table_width);
    case 1:
      return scale_row_by_runs<1>(source, destination, picture_width, table_width);
    default:
      break;
    }
  }
  scale_row_by_lookup(source, destination, 0, table_width, table_bytes_per_pixel);
}

int scale_picture(const uint8_t *picture, int32_t picture_width, int32_t picture_height,
                  int32_t picture_pitch, uint32_t bytes_per_pixel,
                  const scale_placement &placement, uint8_t *screen, int32_t screen_pitch) {
  if (placement.width <= 0 || placement.height <= 0 || picture_width <= 0 ||
      picture_height <= 0 || bytes_per_pixel < 1 || bytes_per_pixel > 4)
    return 1; // nothing to draw
  if (!make_tables(picture_width, picture_height, placement, bytes_per_pixel)) return 0;
  const size_t row_bytes = size_t(placement.width) * bytes_per_pixel;
  uint8_t *first = screen + std::ptrdiff_t(placement.top) * screen_pitch +
                   std::ptrdiff_t(placement.left) * std::ptrdiff_t(bytes_per_pixel);
  for (int32_t y = 0, copies = 1; y < placement.height; y += copies) {
    uint8_t *row = first + std::ptrdiff_t(y) * screen_pitch;
    const uint8_t *source = picture + std::ptrdiff_t(table_rows[y]) * picture_pitch;
    copies = 1;
    while (y + copies < placement.height && table_rows[y + copies] == table_rows[y]) ++copies;
#if SCALE_SHUFFLES
    if (cpu_shuffles_wide && table_blocks > 0) {
      scale_rows_by_wide_shuffles(source, row, screen_pitch, copies);
      continue;
    }
    if (cpu_shuffles_bytes && table_blocks > 0) {
      scale_rows_by_shuffles(source, row, screen_pitch, copies);
      continue;
    }
#endif
    scale_row(source, row, picture_width);
    for (int32_t copy = 1; copy < copies; ++copy)
      std::memcpy(row + std::ptrdiff_t(copy) * screen_pitch, row, row_bytes);
  }
  return 1;
}

void scale_fill_bars(const scale_placement &placement, uint32_t bytes_per_pixel,
                     int32_t screen_width, int32_t screen_height, uint8_t *screen,
                     int32_t screen_pitch) {
  const size_t pixel_bytes = bytes_per_pixel;
  for (int32_t y = 0; y < screen_height; ++y) {
    uint8_t *row = screen + std::ptrdiff_t(y) * screen_pitch;
    if (y < placement.top || y >= placement.top + placement.height) {
      std::memset(row, 0, size_t(screen_width) * pixel_bytes);
      continue;
    }
    std::memset(row, 0, size_t(placement.left) * pixel_bytes);
    const int32_t right = placement.left + placement.width;
    std::memset(row + size_t(right) * pixel_bytes, 0, size_t(screen_width - right) * pixel_bytes);
  }
}
