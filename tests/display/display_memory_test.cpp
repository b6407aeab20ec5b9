// The display's logic over the in-memory screen.
#include "display/display.h"
#include "display/screen_memory.h"
#include "tests/display/test_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t WIDTH = 640;
constexpr int32_t HEIGHT = 480;
constexpr screen_pixel_layout LAYOUT_32 = {SCREEN_LAYOUT_RGB, 32, 0x00FF0000, 0x0000FF00,
                                           0x000000FF};
constexpr screen_pixel_layout LAYOUT_24 = {SCREEN_LAYOUT_RGB, 24, 0x00FF0000, 0x0000FF00,
                                           0x000000FF};
constexpr screen_pixel_layout LAYOUT_565 = {SCREEN_LAYOUT_RGB, 16, 0xF800, 0x07E0, 0x001F};

bool called(const char *call) {
  const auto &calls = screen_memory.calls;
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Everything the display acquired has been given back, each thing once.
void expect_all_released() {
  EXPECT_EQ(screen_memory.library_loaded, 0);
  EXPECT_EQ(screen_memory.device_alive, 0);
  EXPECT_EQ(screen_memory.window_alive, 0);
  EXPECT_EQ(screen_memory.chain_alive, 0);
  EXPECT_EQ(screen_memory.screen_saver_suspended, 0);
  EXPECT_EQ(screen_memory.misuse, 0);
}

class Display : public ::testing::Test {
protected:
  void SetUp() override { screen_memory_reset(); }
  void TearDown() override {
    display_close(); // leaves the module closed for the next test
    screen_memory.exit_jump = nullptr;
  }
  // display_update, returning the exit status if the display ended the
  // process, or -1.
  int update_until_exit(const uint32_t *frame) {
    std::jmp_buf jump;
    screen_memory.exit_jump = &jump;
    if (setjmp(jump) == 0) {
      display_update(frame);
      screen_memory.exit_jump = nullptr;
      return -1;
    }
    screen_memory.exit_jump = nullptr;
    return screen_memory.exit_status;
  }
  void activate() { screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 1}); }
};

TEST_F(Display, OpensInTheOrderOfItsStepsAndClosesBackwards) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  const std::vector<std::string> opening = {"load_library",
                                            "create_device",
                                            "create_window QUARVELIN IDI_MAIN",
                                            "hide_cursor",
                                            "cooperative_level exclusive",
                                            "set_mode 32",
                                            "create_flip_chain 2",
                                            "get_back_buffer",
                                            "get_pixel_layout",
                                            "suspend_screen_saver"};
  EXPECT_EQ(screen_memory.calls, opening);
  EXPECT_EQ(screen_memory.screen_saver_suspended, 1);
  EXPECT_EQ(screen_memory.cursor_hidden, 1);

  screen_memory.calls.clear();
  display_close();
  const std::vector<std::string> closing = {
      "release_flip_chain", "restore_mode",   "cooperative_level normal", "release_device",
      "destroy_window",     "unload_library", "release_screen_saver"};
  EXPECT_EQ(screen_memory.calls, closing);
  expect_all_released();
}

TEST_F(Display, DepthFallsBackFrom32To24To16) {
  screen_memory.modes = {{16, LAYOUT_565}};
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  EXPECT_EQ(screen_memory.depths_tried, (std::vector<int32_t>{32, 24, 16}));
  EXPECT_EQ(screen_memory.mode_bits, 16);

  display_close();
  screen_memory_reset();
  screen_memory.modes = {{24, LAYOUT_24}, {16, LAYOUT_565}};
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  EXPECT_EQ(screen_memory.depths_tried, (std::vector<int32_t>{32, 24}));
  EXPECT_EQ(screen_memory.mode_bits, 24);
}

TEST_F(Display, NoUsableDepthFailsOpenAndCloseReleasesWhatWasTaken) {
  screen_memory.modes = {{8, {0, 8, 0, 0, 0}}};
  EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0);
  EXPECT_EQ(screen_memory.depths_tried, (std::vector<int32_t>{32, 24, 16}));
  EXPECT_FALSE(called("create_flip_chain 2"));
  EXPECT_FALSE(called("suspend_screen_saver"));
  display_close();
  expect_all_released();
}

TEST_F(Display, FlipChainFallsBackToOneBackBuffer) {
  screen_memory.max_back_buffers = 1;
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  EXPECT_EQ(screen_memory.chains_tried, (std::vector<int32_t>{2, 1}));

  display_close();
  screen_memory_reset();
  screen_memory.max_back_buffers = 0;
  EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0);
  EXPECT_EQ(screen_memory.chains_tried, (std::vector<int32_t>{2, 1}));
}

TEST_F(Display, LayoutsOutsideTheConverterTableFailOpen) {
  const screen_pixel_layout unknown[] = {
      {SCREEN_LAYOUT_RGB, 16, 0x7C00, 0x07E0, 0x001F}, // 555 red with 565 green
      {SCREEN_LAYOUT_RGB, 32, 0xFF000000, 0x00FF0000, 0x0000FF00},
      {0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF}, // not direct colour
  };
  for (const screen_pixel_layout &layout : unknown) {
    screen_memory_reset();
    screen_memory.modes = {{int32_t(layout.bits), layout}};
    EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0) << layout.bits << " " << layout.red_mask;
    EXPECT_FALSE(called("suspend_screen_saver"));
    display_close();
    expect_all_released();
  }
}

TEST_F(Display, EveryFailingStepLeavesAStateThatCloseCleansUp) {
  const uint32_t steps[] = {SCREEN_STEP_LOAD_LIBRARY,    SCREEN_STEP_CREATE_DEVICE,
                            SCREEN_STEP_CREATE_WINDOW,   SCREEN_STEP_COOPERATIVE_LEVEL,
                            SCREEN_STEP_GET_BACK_BUFFER, SCREEN_STEP_GET_PIXEL_LAYOUT};
  for (uint32_t step : steps) {
    screen_memory_reset();
    screen_memory.failing_steps = step;
    EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0) << step;
    display_close();
    expect_all_released();
    // A second close finds nothing to release and touches nothing twice.
    screen_memory.calls.clear();
    display_close();
    EXPECT_EQ(screen_memory.misuse, 0) << step;
    EXPECT_FALSE(called("release_flip_chain"));
    EXPECT_FALSE(called("release_device"));
    EXPECT_FALSE(called("unload_library"));
  }
}

TEST_F(Display, ActiveUpdateConvertsEveryRowAtTheSurfacePitchAndFlips) {
  screen_memory.modes = {{16, LAYOUT_565}};
  screen_memory.extra_pitch_bytes = 96;
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  EXPECT_EQ(display_update(frame.data()), 1);
  ASSERT_EQ(screen_memory.flips, 1);

  const std::vector<uint8_t> &shown = screen_memory.flipped[0];
  const int32_t row_bytes = WIDTH * 2;
  ASSERT_EQ(screen_memory.pitch, row_bytes + 96);
  std::vector<uint8_t> expected(static_cast<size_t>(row_bytes));
  for (int32_t y = 0; y < HEIGHT; ++y) {
    convert_16_rgb565(frame.data() + size_t(y) * WIDTH, expected.data(), WIDTH);
    const uint8_t *row = shown.data() + size_t(y) * size_t(screen_memory.pitch);
    ASSERT_EQ(std::memcmp(row, expected.data(), expected.size()), 0) << "row " << y;
    // The padding after each row is the surface's, not ours to write.
    for (int32_t i = row_bytes; i < screen_memory.pitch; ++i)
      ASSERT_EQ(row[i], 0xA5) << "row " << y << " byte " << i;
  }
  // Restore before the lock; unlocked before the flip; a yield after it.
  const auto &calls = screen_memory.calls;
  auto at = [&](const char *call) {
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  };
  EXPECT_LT(at("restore"), at("lock"));
  EXPECT_LT(at("unlock"), at("flip"));
  EXPECT_EQ(calls.back(), "sleep 0");
  EXPECT_EQ(screen_memory.misuse, 0);
}

TEST_F(Display, FocusDecidesWhetherFramesAreShown) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();

  // Not yet activated: waits for an event, nothing locked or flipped.
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_memory.locks, 0);
  EXPECT_EQ(screen_memory.flips, 0);
  EXPECT_TRUE(screen_memory.sleeps.empty());
  EXPECT_EQ(screen_memory.event_waits, std::vector<uint32_t>{DISPLAY_INACTIVE_WAIT_MS});

  activate();
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_memory.flips, 1);

  screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 0});
  screen_memory.event_waits.clear();
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_memory.flips, 1);
  EXPECT_EQ(screen_memory.locks, 1);
  EXPECT_EQ(screen_memory.event_waits,
            (std::vector<uint32_t>{DISPLAY_INACTIVE_WAIT_MS, DISPLAY_INACTIVE_WAIT_MS}));

  // Events queue up and are all handled in one update, in order.
  screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 1});
  screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 0});
  screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 1});
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_TRUE(screen_memory.events.empty());
  EXPECT_EQ(screen_memory.flips, 2);
}

TEST_F(Display, AFailedLockDropsTheFrame) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_memory.failing_steps = SCREEN_STEP_LOCK;
  EXPECT_EQ(display_update(frame.data()), 0);
  EXPECT_EQ(screen_memory.flips, 0);
  EXPECT_TRUE(screen_memory.sleeps.empty());
  EXPECT_EQ(screen_memory.calls.back(), "lock");

  // The next frame goes through again; a failed flip is not reported.
  screen_memory.failing_steps = SCREEN_STEP_FLIP;
  EXPECT_EQ(display_update(frame.data()), 1);
  screen_memory.failing_steps = 0;
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_memory.flips, 1);
}

TEST_F(Display, EscapeEndsTheProgramWithZeroAfterClosingEvenWhileInactive) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  screen_memory.events.push_back({SCREEN_EVENT_KEY_DOWN, 'A'});
  screen_memory.events.push_back({SCREEN_EVENT_KEY_DOWN, 0x11B}); // low byte 27, not Escape
  screen_memory.events.push_back({SCREEN_EVENT_KEY_DOWN, SCREEN_KEY_ESCAPE});
  screen_memory.events.push_back({SCREEN_EVENT_FOCUS, 1}); // never reached
  EXPECT_EQ(update_until_exit(frame.data()), 0);
  EXPECT_EQ(screen_memory.events.size(), 1u);
  EXPECT_EQ(screen_memory.locks, 0);
  EXPECT_TRUE(screen_memory.sleeps.empty());
  EXPECT_EQ(screen_memory.calls.back(), "exit 0");
  expect_all_released();
}

TEST_F(Display, OtherKeysDoNothing) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_memory.events.push_back({SCREEN_EVENT_KEY_DOWN, 'q'});
  screen_memory.events.push_back({SCREEN_EVENT_OTHER, 0});
  EXPECT_EQ(update_until_exit(frame.data()), -1);
  EXPECT_EQ(screen_memory.flips, 1);
  EXPECT_EQ(screen_memory.library_loaded, 1);
}

TEST_F(Display, CloseRequestEndsTheProgramWithZeroAfterClosing) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_memory.events.push_back({SCREEN_EVENT_QUIT, 0});
  EXPECT_EQ(update_until_exit(frame.data()), 0);
  EXPECT_EQ(screen_memory.flips, 0);
  expect_all_released();
  const auto &calls = screen_memory.calls;
  EXPECT_EQ(calls[calls.size() - 2], "release_screen_saver");
}

} // namespace
