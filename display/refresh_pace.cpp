// Which refreshes get a new frame (refresh_pace.h). Times of frames are kept
// multiplied by 60, so that a 60th of a second is a whole number of units.
#include "display/refresh_pace.h"

#include <algorithm>

static const int64_t SECOND_NS = 1000000000;
static const int64_t FRAMES_PER_SECOND = 60;
// Intervals longer than this are gaps (a hidden page, a stall), not refreshes.
static const int64_t LONGEST_REFRESH_NS = 100000000;
// The share of its distance from the clock by which the steady clock moves
// to it at each refresh.
static const int64_t STEADY_PULL = 16;

void refresh_pace_reset(refresh_pace *pace) { *pace = refresh_pace{}; }

// The median of the recent intervals, then the mean of those near it: the
// mean sees through clocks coarsened to a millisecond or less, the median
// keeps a missed refresh (a double interval) out of it.
int64_t refresh_pace_interval_ns(const refresh_pace *pace) {
  const int32_t count = pace->interval_count;
  if (count == 0) return 0;
  int64_t sorted[REFRESH_PACE_HISTORY];
  std::copy(pace->intervals_ns, pace->intervals_ns + count, sorted);
  std::sort(sorted, sorted + count);
  const int64_t median = sorted[count / 2];
  int64_t sum = 0, near = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (sorted[i] * 4 >= median * 3 && sorted[i] * 4 <= median * 5) {
      sum += sorted[i];
      ++near;
    }
  }
  return sum / near;
}

int refresh_pace_new_frame(refresh_pace *pace, int64_t now_ns) {
  const int64_t since = now_ns - pace->last_refresh_ns;
  const int gap = pace->refreshes == 0 || since <= 0 || since >= LONGEST_REFRESH_NS;
  if (!gap) {
    pace->intervals_ns[pace->interval_next] = since;
    pace->interval_next = (pace->interval_next + 1) % REFRESH_PACE_HISTORY;
    pace->interval_count = std::min(pace->interval_count + 1, REFRESH_PACE_HISTORY);
  }
  ++pace->refreshes;
  pace->last_refresh_ns = now_ns;
  const int64_t interval = refresh_pace_interval_ns(pace);
  // Whole intervals on from the last refresh (more than one where refreshes
  // were missed); a gap, or nothing measured yet, starts afresh at the clock.
  if (gap || interval == 0) {
    pace->steady_ns = now_ns;
  } else {
    pace->steady_ns += std::max<int64_t>(1, (since + interval / 2) / interval) * interval;
    // Drawn slowly towards the clock: an interval measured a little off does
    // not carry this clock away from the refreshes, and jitter stays out.
    pace->steady_ns += (now_ns - pace->steady_ns) / STEADY_PULL;
  }
  const int64_t now_x60 = pace->steady_ns * FRAMES_PER_SECOND;
  const int64_t off_sixty = interval * FRAMES_PER_SECOND - SECOND_NS;
  const int near_sixty = std::max(off_sixty, -off_sixty) * 100 <= SECOND_NS;
  if (gap || interval == 0 || near_sixty) {
    pace->due_x60 = now_x60 + SECOND_NS;
    return 1;
  }
  // A frame is due at this refresh when its time is nearer to this refresh
  // than to the next one.
  if (now_x60 + interval * FRAMES_PER_SECOND / 2 < pace->due_x60) return 0;
  pace->due_x60 += SECOND_NS;
  // More than a frame behind (a slow refresh, a stall): the pace starts here.
  if (pace->due_x60 <= now_x60) pace->due_x60 = now_x60 + SECOND_NS;
  return 1;
}
