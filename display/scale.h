// scale.h - a picture already in the screen's pixel layout, shown larger (or
// smaller) on a screen of another size: nearest pixel, aspect kept, centred,
// black bars where the aspects differ. Pure logic: the SDL screen layer uses
// it where no GPU scales the picture, and quarvelin-capture for its frames.
//
// Pixels are 1 to 4 bytes; black is all bytes zero in every layout the
// converters write.
#pragma once

#include <cstdint>

// The rectangle of the screen the picture covers.
struct scale_placement {
  int32_t left, top, width, height;
};

// The largest rectangle with the picture's aspect that fits the screen,
// centred (whole pixels, rounded down; empty when either side is 0).
scale_placement scale_fit(int32_t picture_width, int32_t picture_height, int32_t screen_width,
                          int32_t screen_height);

// For each of `count` output positions along one side, the picture's
// position of `picture_size` that it shows: the one under the output pixel's
// centre. A whole-number scale n repeats each position exactly n times.
void scale_source_positions(int32_t picture_size, int32_t count, int32_t *positions);

// The picture drawn into the placement on the screen, each screen pixel
// being the picture pixel scale_source_positions gives for its column and
// row: each picture row is scaled once, and screen rows showing the same
// picture row are copies of the first. The bars are left as they are; nothing
// outside the placement is written. The tables for a placement are made at
// the first call with it and kept for the next (module state: one thread at
// a time). 0 when there is no memory for them (nothing drawn).
int scale_picture(const uint8_t *picture, int32_t picture_width, int32_t picture_height,
                  int32_t picture_pitch, uint32_t bytes_per_pixel,
                  const scale_placement &placement, uint8_t *screen, int32_t screen_pitch);

// Black everywhere on the screen outside the placement.
void scale_fill_bars(const scale_placement &placement, uint32_t bytes_per_pixel,
                     int32_t screen_width, int32_t screen_height, uint8_t *screen,
                     int32_t screen_pitch);
