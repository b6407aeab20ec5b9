// display.h - the fullscreen display: pixel format converters, and the
// fullscreen picture with its one window and its events.
//
// Converters. A row converter writes `count` frame pixels (0x00RRGGBB) into
// one row of screen memory in the screen's layout, little-endian, keeping
// the top bits of each channel. select_converter picks one from the layout
// the screen reports (bits per pixel and three masks, exact match), or
// returns nullptr for a layout it does not know.
//
// Display. display_open takes over the screen, display_update shows one
// frame (handling the window's events first), display_close gives everything
// back and may run in any state, also after a partial open. Escape or a close
// request closes the display, runs the ending set by display_set_ending, and
// ends the process with status 0.
#pragma once

#include <cstdint>

typedef void (*row_converter_fn)(const uint32_t *source, uint8_t *destination, uint32_t count);

row_converter_fn select_converter(uint32_t bits, uint32_t red_mask, uint32_t green_mask,
                                  uint32_t blue_mask);

void convert_copy_32(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_32_bgr(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_24_rgb(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_24_bgr(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_rgb565(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_bgr565(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_rgb555(const uint32_t *source, uint8_t *destination, uint32_t count);
void convert_16_bgr555(const uint32_t *source, uint8_t *destination, uint32_t count);

// How long an update waits for an event while the program is in the
// background, or while the back buffer cannot be had, instead of showing the
// frame.
constexpr uint32_t DISPLAY_INACTIVE_WAIT_MS = 50;

// 1 on success, 0 on failure (what was acquired stays for display_close).
int display_open(const char *title, int32_t width, int32_t height);
// 1 if the frame was handled (shown, or dropped while inactive), 0 if the
// back buffer could not be locked (the update then waited as while inactive).
int display_update(const uint32_t *frame);
void display_close();
// What Escape or a close request runs after closing the display, just before
// the process ends (nullptr, as at start: nothing): whatever of the program
// still runs on threads of its own is stopped there.
void display_set_ending(void (*ending)());
