// flash_analysis.h - counts the flashes in a sequence of frames, second by
// second, against the three-flashes-a-second rule for photosensitive viewers
// (WCAG 2.x "three flashes or below threshold", the general and the red flash).
//
// Each pixel is followed on its own. Its relative luminance L (sRGB, linear
// light, 0.2126 R + 0.7152 G + 0.0722 B) makes a general transition when it
// has moved by 0.1 or more from its last turning point, the darker of the two
// states below 0.8. Its red value 320 (R - G - B) (linear light, below 0 read
// as 0) makes a red transition when it has moved by more than 20 and the
// redder state is saturated red (R at least 80 % of R + G + B). A flash is a
// pair of opposing transitions.
//
// Area: the frame is taken to fill a 15 to 17 inch 4:3 screen watched from
// 22 to 26 inches, where a 10 degree field is a third of the screen's width
// and height (341 x 256 pixels of 1024 x 768). Windows of that size are
// placed on a grid of a quarter of their width and height; a one-second
// period has n transitions when, in some window, more than a quarter of the
// pixels each made n or more transitions within it.
//
// A second over the limit is one in which a one-second period ending in it has
// more than six transitions (more than three flashes) of either kind.
#pragma once

#include <cstdint>
#include <vector>

struct flash_analyser; // opaque

// Transitions in the worst one-second period ending within one second of the
// video, general and red.
struct flash_second {
  int32_t general = 0;
  int32_t red = 0;
};

constexpr int32_t FLASH_TRANSITIONS_ALLOWED = 6; // three flashes

// A new analyser for `width` x `height` frames at `fps` frames a second;
// nullptr when a figure is below 1.
flash_analyser *flash_open(int32_t width, int32_t height, int32_t fps);

// Adds the next frame: `height` rows of `width` pixels 0x00RRGGBB (the top
// byte ignored), rows `stride` pixels apart.
void flash_add_frame(flash_analyser *analyser, const uint32_t *pixels, int32_t stride);

// The seconds so far: entry s covers frames s * fps .. (s + 1) * fps - 1.
const std::vector<flash_second> &flash_seconds(const flash_analyser *analyser);

void flash_close(flash_analyser *analyser);

// 1 when the second has more than three flashes of either kind.
inline int flash_second_over(const flash_second &second) {
  return second.general > FLASH_TRANSITIONS_ALLOWED || second.red > FLASH_TRANSITIONS_ALLOWED;
}
