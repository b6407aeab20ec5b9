// The flash count on made-up sequences of frames, and the gentle viewing's
// follower judged by it.
#include "compose/compose.h"
#include "tools/flash_analysis.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr int32_t FPS = 60;

// Counts `seconds` of 640 x 480 frames at 60 a second, frame k painted by
// `paint(k, frame)` on a cleared frame; when `gentle`, what gentle_follow
// shows of them instead. The worst second's transitions, general and red.
flash_second worst(double seconds, const std::function<void(int64_t, uint32_t *)> &paint,
                   bool gentle = false) {
  std::vector<uint32_t> frame(FRAME_PIXELS);
  flash_analyser *analyser = flash_open(FRAME_WIDTH, FRAME_HEIGHT, FPS);
  std::fill(gentle_frame, gentle_frame + FRAME_PIXELS, 0u);
  std::fill(gentle_light, gentle_light + 3 * FRAME_PIXELS, 0.0f);
  for (int64_t k = 0; k < int64_t(seconds * FPS); ++k) {
    std::fill(frame.begin(), frame.end(), 0u);
    paint(k, frame.data());
    const int32_t elapsed_ms = int32_t((k + 1) * 1000 / FPS - k * 1000 / FPS);
    if (gentle) gentle_follow(frame.data(), elapsed_ms, gentle_light, gentle_frame);
    flash_add_frame(analyser, gentle ? gentle_frame : frame.data(), FRAME_WIDTH);
  }
  flash_second out;
  for (const flash_second &second : flash_seconds(analyser)) {
    out.general = std::max(out.general, second.general);
    out.red = std::max(out.red, second.red);
  }
  flash_close(analyser);
  return out;
}

// A square wave at `hertz` between `low` and `high` over a `size` x `size`
// square at the frame's centre (the whole frame when size is 0).
std::function<void(int64_t, uint32_t *)> flicker(double hertz, uint32_t low, uint32_t high,
                                                 int32_t size = 0) {
  return [=](int64_t k, uint32_t *frame) {
    const uint32_t colour = int64_t(double(k) * 2 * hertz / FPS) % 2 ? high : low;
    const int32_t w = size ? size : FRAME_WIDTH, h = size ? size : FRAME_HEIGHT;
    const int32_t left = (FRAME_WIDTH - w) / 2, top = (FRAME_HEIGHT - h) / 2;
    for (int32_t y = top; y < top + h; ++y)
      for (int32_t x = left; x < left + w; ++x) frame[y * FRAME_WIDTH + x] = colour;
  };
}

constexpr uint32_t WHITE = 0xFFFFFF;

TEST(FlashAnalysis, WholeFrameBlackAndWhiteFailsAtFourHertzAndPassesAtTwo) {
  flash_second fast = worst(3, flicker(4, 0, WHITE));
  EXPECT_EQ(fast.general, 8);
  EXPECT_TRUE(flash_second_over(fast));
  flash_second slow = worst(3, flicker(2, 0, WHITE));
  EXPECT_EQ(slow.general, 4);
  EXPECT_FALSE(flash_second_over(slow));
  EXPECT_EQ(slow.red, 0);
}

TEST(FlashAnalysis, OnlyAnAreaAboveAQuarterOfTheTenDegreeFieldCounts) {
  // The field is 212 x 160 of the 640 x 480 frame: a quarter is 8480 pixels.
  EXPECT_FALSE(flash_second_over(worst(2, flicker(4, 0, WHITE, 88))));
  EXPECT_TRUE(flash_second_over(worst(2, flicker(4, 0, WHITE, 96))));
}

TEST(FlashAnalysis, SmallChangesAndChangesAmongBrightStatesAreNotFlashes) {
  // Linear light 0.0844 (byte 82) against black; 0.807 (byte 232) against white.
  EXPECT_EQ(worst(2, flicker(6, 0, 82 * 0x010101u)).general, 0);
  EXPECT_EQ(worst(2, flicker(6, 232 * 0x010101u, WHITE)).general, 0);
  EXPECT_GT(worst(2, flicker(6, 0, 90 * 0x010101u)).general, 6); // 0.1022
}

TEST(FlashAnalysis, SaturatedRedIsJudgedByTheRedRuleAndGrayByTheGeneralRuleOnly) {
  // Full red (luminance 0.2126) against black fails both rules; the gray of
  // the same luminance (byte 127, 0.2122) only the general one.
  flash_second red = worst(2, flicker(4, 0, 0xFF0000));
  EXPECT_TRUE(red.red > 6 && red.general > 6);
  flash_second gray = worst(2, flicker(4, 0, 127 * 0x010101u));
  EXPECT_GT(gray.general, 6);
  EXPECT_EQ(gray.red, 0);
  // A dimmer red (byte 170, luminance 0.0855) is below the general step but a
  // red flash; a red of about the same luminance with green and blue in it
  // (not saturated) is not.
  flash_second dim = worst(2, flicker(4, 0, 0xAA0000));
  EXPECT_EQ(dim.general, 0);
  EXPECT_GT(dim.red, 6);
  EXPECT_EQ(worst(2, flicker(4, 0, 0x8C3C3C)).red, 0);
}

TEST(FlashAnalysis, ASlowFadeUpAndDownIsOneFlash) {
  flash_second fade = worst(4, [](int64_t k, uint32_t *frame) {
    const int64_t up = k < 2 * FPS ? k : 4 * FPS - k; // two seconds up, two down
    std::fill(frame, frame + FRAME_PIXELS, uint32_t(up * 255 / (2 * FPS)) * 0x010101u);
  });
  EXPECT_LE(fade.general, 2);
  EXPECT_FALSE(flash_second_over(fade));
}

TEST(GentleFollow, TurnsFastFlickerIntoChangesWithinTheLimitAndReachesASteadyPicture) {
  // Black against white and saturated red against green, every frame.
  auto wild = [](int64_t k, uint32_t *frame) {
    for (int32_t p = 0; p < FRAME_PIXELS; ++p)
      frame[p] = p < FRAME_PIXELS / 2 ? (k % 2 ? WHITE : 0) : (k % 2 ? 0xFF0000 : 0x00FF00);
  };
  flash_second raw = worst(2, wild);
  EXPECT_TRUE(raw.general > 6 && raw.red > 6);
  flash_second gentle = worst(3, wild, true);
  EXPECT_FALSE(flash_second_over(gentle)) << gentle.general << " " << gentle.red;
  // A picture held long enough is shown exactly.
  auto still = [](int64_t, uint32_t *frame) {
    for (int32_t p = 0; p < FRAME_PIXELS; ++p) frame[p] = uint32_t(p % 251) * 0x010203u & 0xFFFFFF;
  };
  worst(3, still, true);
  std::vector<uint32_t> expected(FRAME_PIXELS);
  still(0, expected.data());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), gentle_frame));
}

} // namespace
