// capture_picture.h - the show's 640 x 480 frame as a video file of another
// size shows it: scaled by the largest whole number that fits, nearest pixel,
// centred on black; as 0RGB pixels or as yuv420p (BT.601, limited range).
#pragma once

#include <cstdint>
#include <vector>

// The frame's values are looked up through a margin: one more column and one
// more row than the frame, holding black, which is what the bars show.
constexpr int32_t CAPTURE_MARGIN_STRIDE = 640 + 1;

struct capture_layout {
  int32_t width = 0, height = 0; // the video's picture
  int32_t scale = 0, left = 0, top = 0;
  // For each column and row of the video, the frame's column or row it shows;
  // 640 or 480 (the margin) in a bar.
  std::vector<int32_t> frame_column, frame_row;
  // yuv420p: the frame's luma and chroma with the margin, before scaling.
  std::vector<uint8_t> luma;
  std::vector<int16_t> blue_difference, red_difference; // 256 times U - 128 and V - 128
};

// The layout for a `width` x `height` video; scale 0 when the frame does not fit.
capture_layout capture_make_layout(int32_t width, int32_t height);

// Writes the video's 0RGB picture, `layout.width` pixels a row.
void capture_place_rgb(const uint32_t *frame, const capture_layout &layout, uint32_t *picture);

// Writes the video's picture into three yuv420p planes (width and height even).
void capture_place_yuv420(const uint32_t *frame, capture_layout *layout, uint8_t *const planes[3],
                          const int strides[3]);
