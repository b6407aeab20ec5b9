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
static int32_t exact_hold;  // refreshes each frame stays, where a whole number fits; else 0
static int32_t held;        // refreshes the picture on screen is credited with so far
static int64_t last_due_ns;
static int64_t last_returned_ns;
static int64_t since_last_ns; // from the present before to the last one
static int showing_new;       // the last present showed a newly composed frame
static int64_t intervals_ns[PACE_WINDOW_PRESENTS]; // between the presents of the window

static int64_t magnitude(int64_t value) { return value < 0 ? -value : value; }

static int near_60_hz(int64_t interval_ns) {
  return interval_ns > 0 && magnitude(interval_ns - PACE_FRAME_NS) * 100 <= PACE_FRAME_NS;
}

static int64_t nominal_ns() { return reported_ns > 0 ? reported_ns : PACE_FRAME_NS; }

// Within 1 % of a whole number of refreshes a frame (of 60 Hz, of 120 Hz,
// ...) every frame stays exactly that many: counted against a refresh
// measured a little off, the shares would drift and now and then give a
// frame one refresh less or more.
static void set_refresh(int64_t interval_ns) {
  refresh_ns = interval_ns;
  const int64_t whole = (PACE_FRAME_NS + interval_ns / 2) / interval_ns;
  exact_hold = whole >= 1 && magnitude(PACE_FRAME_NS - whole * interval_ns) * 100 <= PACE_FRAME_NS
                   ? int32_t(whole)
                   : 0;
  if (interval_ns > PACE_FRAME_NS) exact_hold = 1; // slower than 60 Hz: a frame a refresh
}

// The refresh interval of a window of waiting presents: its median interval
// tells how many refreshes each interval took (a present that came late
// waited for a later one), and the whole window over its refreshes gives
// the interval finer than any single one.
static int64_t measure_refresh(int64_t window_ns) {
  int64_t sorted[PACE_WINDOW_PRESENTS];
  for (int32_t i = 0; i < PACE_WINDOW_PRESENTS; ++i) {
    int32_t j = i;
    for (; j > 0 && sorted[j - 1] > intervals_ns[i]; --j) sorted[j] = sorted[j - 1];
    sorted[j] = intervals_ns[i];
  }
  const int64_t median = sorted[PACE_WINDOW_PRESENTS / 2];
  if (median <= 0) return 0;
  int64_t refreshes = 0;
  for (int64_t interval : intervals_ns) {
    const int64_t count = (interval + median / 2) / median;
    refreshes += count > 0 ? count : 1;
  }
  return window_ns / refreshes;
}

void pace_start(int64_t reported_interval_ns) {
  reported_ns = reported_interval_ns > 0 ? reported_interval_ns : 0;
  set_refresh(nominal_ns());
  held = 0;
  last_returned_ns = 0;
  since_last_ns = 0;
  showing_new = 1;
  by_sleep = 0;
  presents = 0;
  window_start_ns = 0;
  blocked_ns = 0;
  waiting_windows = 0;
  owed_ns = 0;
  last_due_ns = 0;
}

int pace_by_sleep() { return by_sleep; }

int64_t pace_frame_ahead_ns(int64_t now_ns) {
  if (by_sleep || last_returned_ns == 0) return 0;
  const int64_t ahead = last_returned_ns + refresh_ns - now_ns;
  return ahead > 0 ? ahead : 0;
}

int64_t pace_refresh_ns() { return refresh_ns; }

static void switch_way(int sleep, int64_t now) {
  by_sleep = sleep;
  presents = 0; // warm up again: the first presents of a new way say little
  waiting_windows = 0;
  owed_ns = 0;
  held = 0;
  last_due_ns = now;
  if (!sleep) set_refresh(nominal_ns());
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
    // A machine too slow to need the wait (three quarters of a 60th of a
    // second a frame or more) keeps to the refresh too; measured against
    // the frame, not a refresh reported high, so that presents that do not
    // wait are never taken faster than that.
    const int slow = interval * 4 >= PACE_FRAME_NS * 3;
    if (!waits && !slow) {
      switch_way(1, now);
      return;
    }
    const int64_t measured = measure_refresh(now - window_start_ns);
    if (waits && measured >= SHORTEST_REFRESH_NS && measured <= LONGEST_REFRESH_NS)
      set_refresh(measured);
  }
  presents = PACE_WARM_UP_PRESENTS; // the next window starts here
  window_start_ns = now;
  blocked_ns = 0;
}

static void watch(int64_t called_ns, int64_t returned_ns) {
  const int64_t since_last = returned_ns - last_returned_ns;
  since_last_ns = last_returned_ns > 0 ? since_last : 0;
  last_returned_ns = returned_ns;
  ++presents;
  if (presents <= PACE_WARM_UP_PRESENTS) {
    window_start_ns = returned_ns;
    blocked_ns = 0;
    return;
  }
  intervals_ns[presents - PACE_WARM_UP_PRESENTS - 1] = since_last;
  blocked_ns += returned_ns - called_ns;
  if (presents == PACE_WARM_UP_PRESENTS + PACE_WINDOW_PRESENTS) judge_window(returned_ns);
}

// The refreshes the picture on screen is credited with for the last
// present: one, and where the present came late after a hold (a busy
// machine) the refreshes it waited too. A new frame that came late was late
// for the picture before it, which is not made up by showing this one
// shorter.
static int64_t refreshes_credited() {
  if (showing_new || since_last_ns <= 0) return 1;
  const int64_t count = (since_last_ns + refresh_ns / 2) / refresh_ns;
  return count > 0 ? count : 1;
}

// Each refresh the picture stays adds its interval to what the picture has
// covered; the next frame is composed for the refresh nearest to the end of
// its 60th of a second, so the holds alternate as evenly as they can.
static int32_t count_refresh() {
  const int64_t refreshes = refreshes_credited();
  if (exact_hold > 0) {
    owed_ns = 0;
    held += int32_t(refreshes);
    if (held < exact_hold) return PACE_HOLD;
    held = 0;
    return PACE_COMPOSE;
  }
  owed_ns += refreshes * refresh_ns;
  if (2 * owed_ns < 2 * PACE_FRAME_NS - refresh_ns) return PACE_HOLD;
  owed_ns -= PACE_FRAME_NS;
  if (2 * owed_ns > refresh_ns) owed_ns = refresh_ns / 2;
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
  int32_t step = PACE_COMPOSE;
  if (by_sleep)
    *sleep_until_ns = next_due(returned_ns);
  else
    step = count_refresh();
  showing_new = step == PACE_COMPOSE;
  return step;
}
