// refresh_pace.h - which refreshes of a screen get a newly composed frame.
// The show is made for 60 frames a second, its look counted in frames (the
// noise, the one-frame flashes), whatever the screen refreshes at. Told the
// time of each refresh as it comes, this says whether a new frame is composed
// for it (1) or the one on screen is shown again (0):
//   - where the refresh is within 1 % of 60 Hz, every refresh gets a new
//     frame, paced by the refresh itself (no frame dropped or doubled once a
//     minute for the last fraction of a hertz);
//   - faster, each frame is held for the refreshes its 60th of a second
//     covers: 2 at 120 Hz, 4 at 240 Hz, alternating 2 and 3 at 144 Hz;
//   - slower, every refresh gets a new frame.
// The refresh interval is measured from the refreshes themselves (a trimmed
// mean of the recent ones), so a rate reported wrongly or changing (another
// screen, a browser throttling its paints) is followed, never latched. A
// long gap (a hidden page) starts the pace afresh, with no burst of frames.
#pragma once

#include <cstdint>

constexpr int32_t REFRESH_PACE_HISTORY = 32;

struct refresh_pace {
  int64_t intervals_ns[REFRESH_PACE_HISTORY]; // the latest refresh intervals, a ring
  int32_t interval_count;
  int32_t interval_next;
  int64_t last_refresh_ns;
  int32_t refreshes;
  // The refreshes' times as whole measured intervals apart, so that jitter
  // and coarse clocks do not move a frame to a neighbouring refresh.
  int64_t steady_ns;
  int64_t due_x60; // when the next frame is due on that clock, in nanoseconds times 60
};

void refresh_pace_reset(refresh_pace *pace);
// A refresh at `now_ns` (a monotonic clock): 1 where a new frame is composed
// for it, 0 where the frame on screen stays.
int refresh_pace_new_frame(refresh_pace *pace, int64_t now_ns);
// The refresh interval measured so far in nanoseconds; 0 before two refreshes.
int64_t refresh_pace_interval_ns(const refresh_pace *pace);
