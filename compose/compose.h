// compose.h - software composition of the show's frame.
//
// The frame is one static 640 x 480 image of 0x00RRGGBB pixels (blue in the
// low byte), row-major with a stride of exactly FRAME_WIDTH pixels. It is
// cleared once at start-up and then every frame is composed on top of the
// previous one:
//
//   draw_gray_keyed / draw_gray_opaque   a raw 8-bit gray picture
//   fill_noise_field + add_noise_field   80 x 60 blocks of 8 x 8 grain
//   tint_frame                           red/green shifted from blue by a phase
//
// The tint rebuilds every pixel from its low byte alone, so the last stages
// can share one pass over the frame with the same result:
//   add_noise_and_tint                   add_noise_field + tint_frame
//   draw_keyed_noise_tint                full-frame keyed draw + the same
//
// Gray pictures are raw bytes, one gray level per pixel, no header; every
// picture is held in a buffer of PICTURE_BYTES. Gray level v becomes the
// pixel v * 0x010101.
//
// Every routine here is pure integer/float work on caller-owned memory: no
// allocation, no file access, no hidden state apart from the globals below.
#pragma once

#include <cstdint>

constexpr int32_t FRAME_WIDTH = 640;
constexpr int32_t FRAME_HEIGHT = 480;
constexpr int32_t FRAME_PIXELS = FRAME_WIDTH * FRAME_HEIGHT;
constexpr int32_t PICTURE_BYTES = FRAME_WIDTH * FRAME_HEIGHT;
// Frames composed a second, whatever the screen's refresh: the pace of the
// 60 Hz display mode the look was made for (the noise and the pictures
// advance once a frame, a flash lasts one frame).
constexpr int32_t FRAMES_PER_SECOND = 60;

constexpr int32_t NOISE_COLS = 80;
constexpr int32_t NOISE_ROWS = 60;
constexpr int32_t NOISE_CELL = 8;
constexpr int32_t NOISE_CELLS = NOISE_COLS * NOISE_ROWS;
constexpr int32_t NOISE_SEED = 0x12345;

constexpr float TINT_RED_FACTOR = 50.0f;
constexpr float TINT_GREEN_FACTOR = 30.0f;

// The show's frame, its noise generator and field, and the current tint.
extern uint32_t frame_buffer[FRAME_PIXELS];
extern int32_t noise_state;               // starts at NOISE_SEED, never reseeded
extern uint32_t noise_field[NOISE_CELLS]; // cell (col, row) is row * NOISE_COLS + col
extern float tint_phase;

// The fastest tint kernel the tint routines may use: AVX2 (only where the CPU
// has it), SSE2 (x86), or the per-pixel table. Every kernel gives the same
// result; tests lower the limit to check each one.
constexpr int32_t TINT_KERNEL_TABLE = 0;
constexpr int32_t TINT_KERNEL_SSE2 = 1;
constexpr int32_t TINT_KERNEL_AVX2 = 2;
extern int32_t tint_kernel_limit;

// All FRAME_PIXELS pixels become 0.
void clear_frame(uint32_t *frame);

// Draws a width x height gray picture with its top-left at (x, y). Pixels
// landing outside the frame are not written; width or height below 1 draws
// nothing. The keyed draw skips source bytes of 0 (transparent).
void draw_gray_opaque(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t *frame);
void draw_gray_keyed(const uint8_t *picture, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t *frame);

// Advances the 31-bit shift register NOISE_CELLS times, columns outer and
// rows inner, storing one gray cell per step.
void fill_noise_field(uint32_t *field, int32_t *state);

// Adds each cell's low byte, read as signed and divided by 8 (toward zero),
// to every channel byte of its 8 x 8 block as one 32-bit addition.
void add_noise_field(const uint32_t *field, uint32_t *frame);

// The signed step q = (int8_t)cell / 8 (toward zero, -16 .. 15) that a cell
// adds to each byte of its block, as the byte q mod 256.
inline uint32_t noise_cell_offset(uint32_t cell) {
  return uint32_t(int32_t(int8_t(uint8_t(cell))) / 8) & 0xFFu;
}

// Rebuilds every pixel from its low byte s (signed):
//   blue = s - trunc(phase), green = trunc(s + 30 phase), red = trunc(s + 50 phase),
// each modulo 256.
// phase is expected in -1 .. 1 (a sine), as the frame loop gives it.
void tint_frame(uint32_t *frame, float phase);

// add_noise_field then tint_frame, in one pass over the frame: the tint reads
// only the low byte, so each pixel becomes the tint of (blue + q) mod 256.
// The frame ends exactly as after the two separate calls.
void add_noise_and_tint(const uint32_t *field, uint32_t *frame, float phase);

// The whole composition of a frame whose picture covers it and is drawn
// keyed: draw_gray_keyed(picture, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, frame),
// add_noise_field and tint_frame in one pass, with the same result.
void draw_keyed_noise_tint(const uint8_t *picture, const uint32_t *field, uint32_t *frame,
                           float phase);

// Gentle viewing: the frame shown follows the composed frame at a bounded
// pace, so that no spot of the picture can flash more than three times in any
// second. A flash is a pair of opposing changes of the relative luminance
// (linear light) by FLASH_LIGHT_STEP or more with the darker state below
// FLASH_DARKER_BELOW, or of the red value by more than FLASH_RED_STEP.
constexpr float FLASH_LIGHT_STEP = 0.1f;
constexpr float FLASH_DARKER_BELOW = 0.8f;
constexpr float FLASH_RED_STEP = 20.0f;
// How far the shown frame may move each second: six changes of a full step
// (more than three flashes) need more than 0.6 of luminance or 120 of red
// value; the margin covers the rounding of each channel to a byte.
constexpr float GENTLE_LIGHT_PER_SECOND = 0.45f;
constexpr float GENTLE_RED_PER_SECOND = 80.0f;

// The linear light (0 .. 1) of each sRGB channel byte.
const float *light_of_byte_table();

inline float relative_luminance(float red, float green, float blue) {
  return 0.2126f * red + 0.7152f * green + 0.0722f * blue;
}

// The red value of a colour in linear light, 320 (R - G - B), without the
// floor at 0 the flash rule puts under it.
inline float red_flash_difference(float red, float green, float blue) {
  return 320.0f * (red - green - blue);
}
inline float red_flash_value(float red, float green, float blue) {
  const float value = red_flash_difference(red, green, blue);
  return value > 0 ? value : 0;
}

// The frame shown in gentle viewing, and its linear light (red, green, blue
// per pixel) before rounding to bytes. Both start black, as the frame does.
extern uint32_t gentle_frame[FRAME_PIXELS];
extern float gentle_light[3 * FRAME_PIXELS];

// Moves each pixel of `shown` (its light in `light`) towards the same pixel
// of `target`, straight through linear light, by as much as `elapsed_ms`
// allows: at most GENTLE_LIGHT_PER_SECOND of luminance and
// GENTLE_RED_PER_SECOND of red value a second (elapsed_ms is taken as at most
// 100). A pixel that can reach its target takes it exactly.
void gentle_follow(const uint32_t *target, int32_t elapsed_ms, float *light, uint32_t *shown);
