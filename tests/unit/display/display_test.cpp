// The display's logic over the null screen: what reaches the screen.
#include "display/convert.h"
#include "display/display.h"
#include "display/screen_null.h"
#include "tests/support/test_frame.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t WIDTH = 640;
constexpr int32_t HEIGHT = 480;
constexpr screen_pixel_layout LAYOUT_24 = {SCREEN_LAYOUT_RGB, 24, 0x00FF0000, 0x0000FF00,
                                           0x000000FF};
constexpr screen_pixel_layout LAYOUT_565 = {SCREEN_LAYOUT_RGB, 16, 0xF800, 0x07E0, 0x001F};

// Everything the display acquired has been given back.
void expect_all_released() {
  EXPECT_EQ(screen_null.open, 0);
  EXPECT_EQ(screen_null.awake, 0);
  EXPECT_EQ(screen_null.misuse, 0);
}

// Each row of the presented picture is the frame's row in the converter's
// layout; the padding after it is left as the screen had it.
void expect_presented(const std::vector<uint8_t> &shown, const std::vector<uint32_t> &frame,
                      row_converter_fn converter, int32_t bytes_per_pixel) {
  const int32_t row_bytes = WIDTH * bytes_per_pixel;
  std::vector<uint8_t> expected(static_cast<size_t>(row_bytes));
  for (int32_t y = 0; y < HEIGHT; ++y) {
    converter(frame.data() + size_t(y) * WIDTH, expected.data(), WIDTH);
    const uint8_t *row = shown.data() + size_t(y) * size_t(screen_null.pitch);
    ASSERT_EQ(std::memcmp(row, expected.data(), expected.size()), 0) << "row " << y;
    for (int32_t i = row_bytes; i < screen_null.pitch; ++i)
      ASSERT_EQ(row[i], 0xA5) << "row " << y << " byte " << i;
  }
}

class Display : public ::testing::Test {
protected:
  void SetUp() override { screen_null_reset(); }
  void TearDown() override {
    display_close(); // leaves the module closed for the next test
    screen_null.exit_jump = nullptr;
  }
  // display_update, returning the exit status if the display ended the
  // process, or -1.
  int update_until_exit(const uint32_t *frame) {
    std::jmp_buf jump;
    screen_null.exit_jump = &jump;
    if (setjmp(jump) == 0) {
      display_update(frame);
      screen_null.exit_jump = nullptr;
      return -1;
    }
    screen_null.exit_jump = nullptr;
    return screen_null.exit_status;
  }
  void activate() { screen_null.events.push_back({SCREEN_EVENT_FOCUS, 1}); }
};

TEST_F(Display, OpensTheNamedWindowAndHoldsOffTheScreenSaverUntilClosed) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  EXPECT_EQ(screen_null.title, "QUARVELIN");
  EXPECT_EQ(screen_null.icon_name, "IDI_MAIN");
  EXPECT_EQ(screen_null.width, WIDTH);
  EXPECT_EQ(screen_null.height, HEIGHT);
  EXPECT_EQ(screen_null.awake, 1);
  display_close();
  expect_all_released();
  display_close(); // a second close finds nothing to give back
  expect_all_released();
}

TEST_F(Display, EveryDepthTheConvertersWriteIsShownInItsLayout) {
  struct depth {
    screen_pixel_layout layout;
    row_converter_fn converter;
    int32_t bytes_per_pixel;
  };
  const depth depths[] = {
      {{SCREEN_LAYOUT_RGB, 32, 0x000000FF, 0x0000FF00, 0x00FF0000}, convert_32_bgr, 4},
      {LAYOUT_24, convert_24_rgb, 3},
      {LAYOUT_565, convert_16_rgb565, 2}};
  const std::vector<uint32_t> frame = test_frame();
  for (const depth &d : depths) {
    screen_null_reset();
    screen_null.layout = d.layout;
    screen_null.extra_pitch_bytes = 96;
    ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1) << d.layout.bits;
    activate();
    EXPECT_EQ(display_update(frame.data()), 1);
    ASSERT_EQ(screen_null.presented.size(), 1u);
    expect_presented(screen_null.presented[0], frame, d.converter, d.bytes_per_pixel);
    EXPECT_EQ(screen_null.misuse, 0);
    display_close();
  }
}

TEST_F(Display, ScreensItCannotDrawOnFailOpenAndCloseReleasesWhatWasTaken) {
  const screen_pixel_layout unknown[] = {
      {SCREEN_LAYOUT_RGB, 16, 0x7C00, 0x07E0, 0x001F}, // 555 red with 565 green
      {SCREEN_LAYOUT_RGB, 32, 0xFF000000, 0x00FF0000, 0x0000FF00},
      {SCREEN_LAYOUT_RGB, 8, 0xE0, 0x1C, 0x03},    // a depth no converter writes
      {0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF}, // not direct colour
  };
  for (const screen_pixel_layout &layout : unknown) {
    screen_null_reset();
    screen_null.layout = layout;
    EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0) << layout.bits << " " << layout.red_mask;
    EXPECT_EQ(screen_null.awake, 0);
    display_close();
    expect_all_released();
  }
  // No screen at all.
  screen_null_reset();
  screen_null.has_screen = 0;
  EXPECT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 0);
  display_close();
  expect_all_released();
}

TEST_F(Display, FocusDecidesWhetherFramesAreShown) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();

  // Not yet activated: waits for an event, nothing presented.
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_TRUE(screen_null.presented.empty());
  EXPECT_EQ(screen_null.event_waits, std::vector<uint32_t>{DISPLAY_INACTIVE_WAIT_MS});

  activate();
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_null.presented.size(), 1u);

  screen_null.events.push_back({SCREEN_EVENT_FOCUS, 0});
  screen_null.event_waits.clear();
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_null.presented.size(), 1u);
  EXPECT_EQ(screen_null.event_waits,
            (std::vector<uint32_t>{DISPLAY_INACTIVE_WAIT_MS, DISPLAY_INACTIVE_WAIT_MS}));

  // Events queue up and are all handled in one update, in order.
  screen_null.events.push_back({SCREEN_EVENT_FOCUS, 1});
  screen_null.events.push_back({SCREEN_EVENT_FOCUS, 0});
  screen_null.events.push_back({SCREEN_EVENT_FOCUS, 1});
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_TRUE(screen_null.events.empty());
  EXPECT_EQ(screen_null.presented.size(), 2u);
  EXPECT_EQ(screen_null.misuse, 0);
}

TEST_F(Display, ABackBufferThatCannotBeHadWaitsInsteadOfSpinning) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_null.lock_fails = 1;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(display_update(frame.data()), 0);
  EXPECT_TRUE(screen_null.presented.empty());
  EXPECT_EQ(screen_null.event_waits, (std::vector<uint32_t>(3, DISPLAY_INACTIVE_WAIT_MS)));

  // Once the back buffer is back, frames are shown again.
  screen_null.lock_fails = 0;
  EXPECT_EQ(display_update(frame.data()), 1);
  EXPECT_EQ(screen_null.presented.size(), 1u);
  EXPECT_EQ(screen_null.misuse, 0);
}

TEST_F(Display, EscapeEndsTheProgramWithZeroAfterClosingEvenWhileInactive) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  screen_null.events.push_back({SCREEN_EVENT_KEY_DOWN, 'A'});
  screen_null.events.push_back({SCREEN_EVENT_KEY_DOWN, 0x11B}); // low byte 27, not Escape
  screen_null.events.push_back({SCREEN_EVENT_KEY_DOWN, SCREEN_KEY_ESCAPE});
  screen_null.events.push_back({SCREEN_EVENT_FOCUS, 1}); // never reached
  EXPECT_EQ(update_until_exit(frame.data()), 0);
  EXPECT_EQ(screen_null.events.size(), 1u);
  EXPECT_TRUE(screen_null.presented.empty());
  expect_all_released();
}

TEST_F(Display, OtherKeysDoNothing) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_null.events.push_back({SCREEN_EVENT_KEY_DOWN, 'q'});
  screen_null.events.push_back({SCREEN_EVENT_OTHER, 0});
  EXPECT_EQ(update_until_exit(frame.data()), -1);
  EXPECT_EQ(screen_null.presented.size(), 1u);
  EXPECT_EQ(screen_null.open, 1);
}

TEST_F(Display, CloseRequestEndsTheProgramWithZeroAfterClosing) {
  ASSERT_EQ(display_open("QUARVELIN", WIDTH, HEIGHT), 1);
  std::vector<uint32_t> frame = test_frame();
  activate();
  screen_null.events.push_back({SCREEN_EVENT_QUIT, 0});
  EXPECT_EQ(update_until_exit(frame.data()), 0);
  EXPECT_TRUE(screen_null.presented.empty());
  expect_all_released();
}

} // namespace
