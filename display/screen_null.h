// screen_null.h - the screen layer without a screen, for tests
// (screen_null.cpp).
//
// A test calls screen_null_reset(), which describes a working 32-bit
// 0x00FF0000 / 0x0000FF00 / 0x000000FF screen with no events, changes what it
// needs in `screen_null`, runs the display, and checks what reached the
// screen: the frames presented, the screen saver, what is still open.
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

struct screen_null_state {
  // Set by the test.
  int32_t has_screen;         // 0: screen_open fails
  screen_pixel_layout layout; // what screen_open reports
  int32_t extra_pitch_bytes;  // padding after each row of the back buffer
  int32_t lock_fails;         // 1: every lock fails, as with a lost device
  std::deque<screen_event> events;
  std::jmp_buf *exit_jump;
  void (*present_hook)(int32_t presents); // called after each present, e.g. to queue events

  // Read back by the test.
  int32_t open; // 1 from screen_open (even a failed one) to screen_close
  std::string title, icon_name;
  int32_t width, height;
  int32_t awake;  // the screen saver is held off
  int32_t locked; // 1 between lock and present
  int32_t pitch;  // bytes between rows of the back buffer
  std::vector<uint8_t> back_buffer;
  std::vector<std::vector<uint8_t>> presented; // the back buffer at each present
  std::vector<uint32_t> event_waits;           // milliseconds of every screen_wait_event
  int32_t misuse;      // locks and presents out of turn or on a closed screen
  int32_t exit_status; // -1 until screen_exit_process
};

extern screen_null_state screen_null;

void screen_null_reset();
