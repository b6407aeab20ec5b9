// pace.h - when the screen layer presents and when the frame loop composes:
// 60 composed frames a second whatever the screen's refresh rate, the pace of
// the 60 Hz display mode the show's frame-counted look was made for.
//
// Two ways, re-checked every window of presents and never kept for good:
//   - presents wait for the display's refresh (a renderer with vsync, or a
//     compositor that throttles): each refresh gets a present. Within 1 % of
//     60 Hz every present is a new frame; at other rates a frame is presented
//     again (held) for as many refreshes as its 60th of a second covers:
//     exactly that many where it is within 1 % of a whole number (2 at
//     120 Hz, 4 at 240 Hz), else alternating as evenly as the refresh allows
//     (2 and 3 at 144 Hz). A present that returns late (a busy machine)
//     credits its picture with the refreshes it took, so no picture stays
//     fewer. The refresh interval is measured from the presents themselves,
//     since a reported rate may be 0, rounded or simply wrong.
//   - presents do not wait: each is followed by a sleep to the next 60th of
//     a second (the reported refresh when that is within 1 % of 60 Hz), and
//     a frame is held by not presenting it again.
// Pure arithmetic on the times the screen layer hands in; one pacing per
// process, on the frame loop's thread.
#pragma once

#include "compose/compose.h"

#include <cstdint>

// One composed frame's share of a second (a 60th), rounded.
constexpr int64_t PACE_FRAME_NS = (1000000000 + FRAMES_PER_SECOND / 2) / FRAMES_PER_SECOND;
// Presents are watched in windows of this many, after the first few (which
// may return early while the driver's queue fills).
constexpr int32_t PACE_WARM_UP_PRESENTS = 3;
constexpr int32_t PACE_WINDOW_PRESENTS = 30;

enum pace_step : int32_t {
  PACE_COMPOSE = 0, // compose the next frame
  PACE_HOLD,        // present the picture on screen again at the next refresh
};

// Starts over with the refresh interval the system reports (0: unknown).
void pace_start(int64_t reported_interval_ns);
// After a present that was called at `called_ns` and returned at
// `returned_ns` (monotonic): what comes next. `*sleep_until_ns` receives the
// time to sleep until before that, or 0 for no sleep.
int32_t pace_after_present(int64_t called_ns, int64_t returned_ns, int64_t *sleep_until_ns);
// How long after `now_ns` the frame composed next is expected on screen: at
// the refresh after the next present where presents wait; at once (0) where
// they are slept, since it is shown as soon as it is drawn.
int64_t pace_frame_ahead_ns(int64_t now_ns);
// 1 while presents are slept (they were seen not to wait for a refresh).
int pace_by_sleep();
// The refresh interval presents are counted against: measured while presents
// wait, else the reported one (a 60th of a second when unknown).
int64_t pace_refresh_ns();
