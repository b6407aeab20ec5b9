// screen_memory.h - controls of the in-memory screen layer (screen_memory.cpp).
//
// A test calls screen_memory_reset(), which describes a working screen (only
// 32-bit 0x00FF0000 / 0x0000FF00 / 0x000000FF, two back buffers, nothing
// failing, no events), changes what it needs in `screen_memory`, runs the
// display, and reads back what happened from the same struct.
//
// Ending the process: screen_exit_process records the status and, when the
// test has set `exit_jump`, longjmps there (so the test goes on); without it
// the process really ends with that status.
#pragma once

#include "display/screen.h"

#include <csetjmp>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Steps that a test can make fail (bits of screen_memory.failing_steps).
enum screen_memory_step : uint32_t {
  SCREEN_STEP_LOAD_LIBRARY = 1u << 0,
  SCREEN_STEP_CREATE_DEVICE = 1u << 1,
  SCREEN_STEP_CREATE_WINDOW = 1u << 2,
  SCREEN_STEP_COOPERATIVE_LEVEL = 1u << 3,
  SCREEN_STEP_GET_BACK_BUFFER = 1u << 4,
  SCREEN_STEP_GET_PIXEL_LAYOUT = 1u << 5,
  SCREEN_STEP_LOCK = 1u << 6,
  SCREEN_STEP_FLIP = 1u << 7,
};

struct screen_memory_mode {
  int32_t bits; // the depth asked for by screen_set_mode
  screen_pixel_layout layout;
};

struct screen_memory_state {
  // Set by the test.
  std::vector<screen_memory_mode> modes; // depths the screen accepts
  int32_t max_back_buffers;              // flip chains with more are refused (0: none)
  uint32_t failing_steps;
  int32_t extra_pitch_bytes; // padding after each row of the back buffer
  std::deque<screen_event> events;
  std::jmp_buf *exit_jump;
  void (*flip_hook)(int32_t flips); // called after each flip, e.g. to queue events

  // Read back by the test.
  std::vector<std::string> calls; // every layer call in order, e.g. "set_mode 24"
  std::vector<int32_t> depths_tried;
  std::vector<int32_t> chains_tried; // back buffer counts asked for
  int32_t mode_bits;                 // depth in force (0: desktop)
  int32_t library_loaded, device_alive, window_alive, chain_alive;
  int32_t exclusive, cursor_hidden, screen_saver_suspended;
  int32_t locked; // 1 between lock and unlock
  int32_t locks, flips, restores;
  std::vector<uint32_t> sleeps;      // milliseconds of every screen_sleep
  std::vector<uint32_t> event_waits; // milliseconds of every screen_wait_event
  int32_t pitch;                // bytes between rows of the back buffer
  std::vector<uint8_t> back_buffer;
  std::vector<std::vector<uint8_t>> flipped; // the back buffer at each flip
  int32_t misuse;      // calls on released or missing objects, double releases
  int32_t exit_status; // -1 until screen_exit_process
};

extern screen_memory_state screen_memory;

void screen_memory_reset();
