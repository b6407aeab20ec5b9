// Which refreshes get a new frame: 60 frames a second at any refresh rate,
// each held for the refreshes its 60th of a second covers, every refresh
// near 60 Hz, and the rate followed when it changes.
#include "display/refresh_pace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

struct paced {
  std::vector<int32_t> holds; // refreshes each composed frame stayed on screen
  int32_t frames_last_second = 0;
};

// `seconds` of refreshes at `hz`, each refresh's time moved by up to
// `jitter_ns` and then cut to a multiple of `grain_ns` (a coarsened clock).
paced run(refresh_pace *pace, double hz, double seconds, int64_t start_ns = 1000000000,
          int64_t jitter_ns = 0, int64_t grain_ns = 1) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int64_t> shake(-jitter_ns, jitter_ns);
  paced result;
  const int64_t count = int64_t(std::llround(hz * seconds));
  int32_t held = 0;
  for (int64_t i = 0; i < count; ++i) {
    int64_t t = start_ns + int64_t(std::llround(double(i) * 1e9 / hz)) + shake(random);
    t -= t % grain_ns;
    if (refresh_pace_new_frame(pace, t)) {
      if (held > 0) result.holds.push_back(held);
      held = 0;
      if (double(i) >= double(count) - hz) ++result.frames_last_second;
    }
    ++held;
  }
  return result;
}

// The holds after the first second, where the measure has settled.
std::vector<int32_t> settled(const paced &p) {
  return std::vector<int32_t>(p.holds.begin() + std::min<size_t>(p.holds.size(), 60), p.holds.end());
}

// Faster screens hold each frame for the refreshes it covers; near 60 Hz
// (over a minute, where a last fraction of a hertz would drop or double a
// frame) and slower, every refresh gets a frame.
TEST(RefreshPace, EachFrameHeldForTheRefreshesItCovers) {
  struct rate_case {
    double hz, seconds;
    int32_t shortest, longest;
  };
  const rate_case cases[] = {{120, 5, 2, 2},    {240, 5, 4, 4},   {144, 5, 2, 3},  {75, 5, 1, 2},
                             {90, 5, 1, 2},     {165, 5, 2, 3},   {62.5, 5, 1, 2}, {59.94, 70, 1, 1},
                             {60.02, 70, 1, 1}, {60.5, 70, 1, 1}, {50, 5, 1, 1},   {30, 5, 1, 1}};
  // Exact refreshes; jittered by half a millisecond; and read on a
  // clock coarsened to 1 ms (as browsers coarsen theirs).
  const int64_t jitters[] = {0, 500000, 0}, grains[] = {1, 1, 1000000};
  for (const rate_case &c : cases) {
    for (int way = 0; way < 3; ++way) {
      refresh_pace pace;
      refresh_pace_reset(&pace);
      const paced p = run(&pace, c.hz, c.seconds, 1000000000, jitters[way], grains[way]);
      for (int32_t hold : settled(p)) {
        ASSERT_GE(hold, c.shortest) << c.hz << " Hz, way " << way;
        ASSERT_LE(hold, c.longest) << c.hz << " Hz, way " << way;
      }
      EXPECT_NEAR(p.frames_last_second, std::min(60.0, c.hz), 1) << c.hz << " Hz, way " << way;
    }
  }
}

TEST(RefreshPace, FollowsAChangedRateAndStartsAfreshAfterAGap) {
  refresh_pace pace;
  refresh_pace_reset(&pace);
  run(&pace, 60, 3);
  // Moved to a 144 Hz screen: within the next second, 60 frames a second.
  paced faster = run(&pace, 144, 2, 4000000000);
  EXPECT_NEAR(faster.frames_last_second, 60, 1);
  for (int32_t hold : settled(faster)) EXPECT_TRUE(hold == 2 || hold == 3) << hold;
  EXPECT_NEAR(double(refresh_pace_interval_ns(&pace)), 1e9 / 144, 1000);
  // A page hidden for 10 s: the first refresh after it gets a frame, and the
  // frames go on at 60 a second, with no burst to catch up.
  EXPECT_TRUE(refresh_pace_new_frame(&pace, 16000000000));
  const paced after_gap = run(&pace, 144, 1, 16006944444);
  EXPECT_NEAR(after_gap.frames_last_second, 60, 1);
  // (The first frame's hold began before this run.)
  for (size_t i = 1; i < after_gap.holds.size(); ++i)
    EXPECT_TRUE(after_gap.holds[i] == 2 || after_gap.holds[i] == 3) << after_gap.holds[i];
  // Back to 60 Hz: every refresh again.
  const paced back = run(&pace, 60, 2, 18000000000);
  for (int32_t hold : settled(back)) EXPECT_EQ(hold, 1);
}

TEST(RefreshPace, MissedRefreshesDoNotChangeTheMeasuredRate) {
  refresh_pace pace;
  refresh_pace_reset(&pace);
  int64_t t = 0;
  for (int i = 0; i < 200; ++i) {
    t += (i % 10 == 9 ? 2 : 1) * 8333333; // 120 Hz, every tenth refresh missed
    refresh_pace_new_frame(&pace, t);
  }
  EXPECT_NEAR(double(refresh_pace_interval_ns(&pace)), 8333333, 1000);
}

} // namespace
