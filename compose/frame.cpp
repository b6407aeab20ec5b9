// The frame buffer and the gray picture draws.
#include "compose/compose.h"

#include <cstring>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <emmintrin.h>
#define FRAME_SSE2 1
#else
#define FRAME_SSE2 0
#endif

uint32_t frame_buffer[FRAME_PIXELS];

void clear_frame(uint32_t *frame) { std::memset(frame, 0, sizeof(uint32_t) * FRAME_PIXELS); }

// Clips the picture's rectangle against the frame. Returns 0 when nothing of
// it is visible; otherwise the first and one-past-last source column and row.
static int clip_picture(int32_t x, int32_t y, int32_t width, int32_t height, int32_t *first_column,
                        int32_t *end_column, int32_t *first_row, int32_t *end_row) {
  if (width < 1 || height < 1) return 0;
  // 64-bit so that extreme positions cannot overflow.
  int64_t column_begin = x < 0 ? -int64_t(x) : 0;
  int64_t column_end = int64_t(FRAME_WIDTH) - x < width ? int64_t(FRAME_WIDTH) - x : width;
  int64_t row_begin = y < 0 ? -int64_t(y) : 0;
  int64_t row_end = int64_t(FRAME_HEIGHT) - y < height ? int64_t(FRAME_HEIGHT) - y : height;
  if (column_begin >= column_end || row_begin >= row_end) return 0;
  *first_column = int32_t(column_begin);
  *end_column = int32_t(column_end);
  *first_row = int32_t(row_begin);
  *end_row = int32_t(row_end);
  return 1;
}

void draw_gray_opaque(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t *frame) {
  int32_t c0, c1, r0, r1;
  if (!clip_picture(x, y, width, height, &c0, &c1, &r0, &r1)) return;
  for (int32_t r = r0; r < r1; ++r) {
    const uint8_t *source = picture + int64_t(r) * width;
    uint32_t *destination = frame + int64_t(y + r) * FRAME_WIDTH + x;
    for (int32_t i = c0; i < c1; ++i) destination[i] = source[i] * 0x010101u;
  }
}

#if FRAME_SSE2
// Expands 16 gray bytes into 16 pixels v * 0x010101: the byte pairs vv and
// v0 side by side make the dword v v v 0.
static void gray_to_pixels(__m128i v, __m128i *pixels) {
  const __m128i zero = _mm_setzero_si128();
  __m128i doubled_0 = _mm_unpacklo_epi8(v, v), doubled_1 = _mm_unpackhi_epi8(v, v);
  __m128i single_0 = _mm_unpacklo_epi8(v, zero), single_1 = _mm_unpackhi_epi8(v, zero);
  pixels[0] = _mm_unpacklo_epi16(doubled_0, single_0);
  pixels[1] = _mm_unpackhi_epi16(doubled_0, single_0);
  pixels[2] = _mm_unpacklo_epi16(doubled_1, single_1);
  pixels[3] = _mm_unpackhi_epi16(doubled_1, single_1);
}
#endif

void draw_gray_keyed(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t *frame) {
  int32_t c0, c1, r0, r1;
  if (!clip_picture(x, y, width, height, &c0, &c1, &r0, &r1)) return;
  for (int32_t r = r0; r < r1; ++r) {
    const uint8_t *source = picture + int64_t(r) * width;
    uint32_t *destination = frame + int64_t(y + r) * FRAME_WIDTH + x;
    int32_t i = c0;
#if FRAME_SSE2
    // 16 pixels at a time: a pixel is zero exactly where its source byte is,
    // so the old pixel is kept under a zero pixel and replaced elsewhere.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= c1; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + i));
      __m128i pixels[4];
      gray_to_pixels(v, pixels);
      __m128i *d = reinterpret_cast<__m128i *>(destination + i);
      for (int32_t k = 0; k < 4; ++k) {
        __m128i kept = _mm_and_si128(_mm_cmpeq_epi32(pixels[k], zero), _mm_loadu_si128(d + k));
        _mm_storeu_si128(d + k, _mm_or_si128(pixels[k], kept));
      }
    }
#endif
    for (; i < c1; ++i) {
      uint32_t v = source[i];
      destination[i] = v != 0 ? v * 0x010101u : destination[i];
    }
  }
}
