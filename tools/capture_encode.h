// capture_encode.h - writes a video file from 0RGB frames and 16-bit stereo
// sound, through FFmpeg's libraries.
//
// Two kinds of file:
//   default    H.264 (yuv420p) and AAC in MP4, index at the front (+faststart)
//   lossless   FFV1 (bgr0, the frame's own layout) and FLAC in Matroska
//
// Every setting that could vary between runs is fixed (thread counts, slice
// counts, bit-exact flags, no creation time or library version in the file),
// so the same frames and sound give the same bytes.
#pragma once

#include <cstdint>
#include <string>

struct capture_encoder; // opaque

struct capture_format {
  int32_t width;  // at least the frame's; even for H.264
  int32_t height; // at least the frame's; even for H.264
  int32_t fps;
  int32_t sample_rate;
  bool lossless;
};

// Creates `path` and writes the file's header. nullptr with *error set on
// failure.
capture_encoder *capture_encode_open(const char *path, const capture_format &format,
                                     std::string *error);

// Adds the next frame: the show's frame (FRAME_WIDTH x FRAME_HEIGHT pixels
// 0x00RRGGBB), placed as capture_picture.h describes. Frames are timed 1/fps
// apart from 0.
bool capture_encode_video(capture_encoder *encoder, const uint32_t *frame, std::string *error);

// Adds the next `frames` stereo sample frames (interleaved left, right).
// Any count may be passed; whole codec frames are encoded as they fill.
bool capture_encode_audio(capture_encoder *encoder, const int16_t *samples, int64_t frames,
                          std::string *error);

// Encodes what is still buffered, drains both encoders and writes the index.
bool capture_encode_finish(capture_encoder *encoder, std::string *error);

// Closes the file and frees everything; safe on nullptr and after a failure.
void capture_encode_close(capture_encoder *encoder);
