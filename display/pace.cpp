// The pace of presents and composed frames (pace.h).
#include "display/pace.h"

// A measured refresh interval outside these is no refresh (a window that
// took in a stall, or presents that return at once).
static const int64_t SHORTEST_REFRESH_NS = 2000000;  // 500 Hz
static const int64_t LONGEST_REFRESH_NS = 50000000;  // 20 Hz
// Sleeping presents go back to counting refreshes only after this many
// windows in a row show them waiting, so that one slow window does not flip
// the way back and forth.
static const int32_t WAITING_WINDOWS_TO_LEAVE_SLEEP = 2;

static int64_t reported_ns;
static int64_t refresh_ns;
static int by_sleep;
static int32_t presents;   // in the window, warm-up included
static int64_t window_start_ns;
static int64_t blocked_ns; // time spent inside presents in the window
static int32_t waiting_windows;
static int64_t owed_ns;    // show time the picture on screen has covered, beyond its share
static int64_t last_due_ns;

static int64_t magnitude(int64_t value) { return value < 0 ? -value : value; }

static int near_60_hz(int64_t interval_ns) {
  return interval_ns > 0 && magnitude(interval_ns - PACE_FRAME_NS) * 100 <= PACE_FRAME_NS;
}

static int64_t nominal_ns() { return reported_ns > 0 ? reported_ns : PACE_FRAME_NS; }

void pace_start(int64_t reported_interval_ns) {
  reported_ns = reported_interval_ns > 0 ? reported_interval_ns : 0;
  refresh_ns = nominal_ns();
  by_sleep = 0;
  presents = 0;
  window_start_ns = 0;
  blocked_ns = 0;
  waiting_windows = 0;
  owed_ns = 0;
  last_due_ns = 0;
}

int pace_by_sleep() { return by_sleep; }

int64_t pace_refresh_ns() { return refresh_ns; }

static void switch_way(int sleep, int64_t now) {
  by_sleep = sleep;
  presents = 0; // warm up again: the first presents of a new way say little
  waiting_windows = 0;
  owed_ns = 0;
  last_due_ns = now;
  if (!sleep) refresh_ns = nominal_ns();
}

// A whole window of presents, back to back: do they wait for a refresh, and
// how long is it? Presents that wait spend a good part of each interval
// inside the present; after a sleep to a random point of the refresh they
// still wait half a refresh on average, while presents that do not wait
// return at once whenever they are called.
static void judge_window(int64_t now) {
  const int64_t interval = (now - window_start_ns) / PACE_WINDOW_PRESENTS;
  const int64_t blocked = blocked_ns / PACE_WINDOW_PRESENTS;
  if (by_sleep) {
    waiting_windows = blocked * 10 >= interval ? waiting_windows + 1 : 0;
    if (waiting_windows >= WAITING_WINDOWS_TO_LEAVE_SLEEP) {
      switch_way(0, now);
      return;
    }
  } else {
    const int waits = blocked * 4 >= interval;
    // A machine too slow to need the wait keeps to the refresh too.
    const int slow = interval * 4 >= nominal_ns() * 3;
    if (!waits && !slow) {
      switch_way(1, now);
      return;
    }
    if (waits && interval >= SHORTEST_REFRESH_NS && interval <= LONGEST_REFRESH_NS)
      refresh_ns = interval;
  }
  presents = PACE_WARM_UP_PRESENTS; // the next window starts here
  window_start_ns = now;
  blocked_ns = 0;
}

static void watch(int64_t called_ns, int64_t returned_ns) {
  ++presents;
  if (presents <= PACE_WARM_UP_PRESENTS) {
    window_start_ns = returned_ns;
    blocked_ns = 0;
    return;
  }
  blocked_ns += returned_ns - called_ns;
  if (presents == PACE_WARM_UP_PRESENTS + PACE_WINDOW_PRESENTS) judge_window(returned_ns);
}

// Each refresh the picture stays adds its interval to what the picture has
// covered; the next frame is composed at the refresh nearest to the end of
// its 60th of a second, so the holds alternate as evenly as they can.
static int32_t count_refresh() {
  if (near_60_hz(refresh_ns) || refresh_ns >= PACE_FRAME_NS) {
    owed_ns = 0;
    return PACE_COMPOSE;
  }
  owed_ns += refresh_ns;
  if (2 * owed_ns < 2 * PACE_FRAME_NS - refresh_ns) return PACE_HOLD;
  owed_ns -= PACE_FRAME_NS;
  return PACE_COMPOSE;
}

// Sleeping presents start at whole intervals apart, the sleep after the
// present, so that the next frame is composed from the song as it is then
// and shown as soon as it is drawn; a late present starts the next interval.
static int64_t next_due(int64_t now) {
  const int64_t interval = near_60_hz(reported_ns) ? reported_ns : PACE_FRAME_NS;
  const int64_t due = last_due_ns + interval;
  if (now < due) {
    last_due_ns = due;
    return due;
  }
  last_due_ns = now;
  return 0;
}

int32_t pace_after_present(int64_t called_ns, int64_t returned_ns, int64_t *sleep_until_ns) {
  watch(called_ns, returned_ns);
  *sleep_until_ns = 0;
  if (by_sleep) {
    *sleep_until_ns = next_due(returned_ns);
    return PACE_COMPOSE;
  }
  return count_refresh();
}
