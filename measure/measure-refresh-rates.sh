#!/usr/bin/env bash
# The show's pace on a headless desktop at several refresh rates, natively on
# Wayland, with the present probe preloaded:
#   measure-refresh-rates.sh DESKTOP SHOW_FOLDER PROBE RATE...
# DESKTOP is a desktop script with sway.sh's interface (tests/support/sway.sh,
# tests/support/gnome.sh): `start DIR 1280x720@RHz`, `run`, `key`, `stop`, and
# where it can, `mode DIR 1280x720@RHz` to change the rate of the running
# desktop (one compositor and one show for every rate); where it cannot, the
# desktop and the show start again for each rate.
# For each rate it prints presents and distinct pictures a second, the median
# interval between presents, the show's CPU share (of one core), the shortest
# time a picture stayed, how many pictures stayed fewer refreshes than their
# 60th of a second covers (half a refresh short, timed by when the presents
# return), and how many pictures a second the presents allowed: those that
# came in a 60th of a second after the one before's (the most a show of 60
# frames a second can put on screen with them), and how late they came.
# It fails when, at any rate, the pace is off: more than 61 pictures a second
# (showing every composed frame for one refresh at 144 Hz does this), half of
# the pictures or more short, or fewer than the presents allowed less one a
# second and less the 60ths of a second the presents came late (the part of
# each interval over one and a half refreshes beyond its first refresh: a
# frame that comes late is not made up by showing the next one shorter).
# That margin follows from what is measured: a busy machine makes the
# presents late and fewer, as does GNOME Shell's software compositor, which
# paints 17 to 28 times a second on a loaded 2-core machine; a show that
# holds its frames too long on time is caught at any pace.
# The test command runs it on sway at 60, 75, 120, 144, 165 and 240 Hz
# (tests/system/wayland/) and on GNOME Shell at 60 and 144 Hz (tests/system/gnome/).
# REFRESH_CHECK_SECONDS (default 5) is the time measured at each rate.
set -uo pipefail
desktop=$1 show=$2 probe=$3
shift 3
rates=("$@")
seconds=${REFRESH_CHECK_SECONDS:-5}
settle=2
dir=$(mktemp -d /tmp/quarvelin-refresh-XXXXXX)
pid=
cleanup() {
  [[ -n $pid ]] && kill -TERM $pid 2>/dev/null
  "$desktop" stop "$dir"
  rm -rf "$dir"
}
trap cleanup EXIT
source "$(dirname "$0")/../tests/support/xvfb.sh"     # fail
source "$(dirname "$0")/../tests/support/cpu-time.sh" # cpu_ticks

# sway's headless backend times frames in whole milliseconds.
frame_ms() {
  if [[ $(basename "$desktop") == sway.sh ]]; then echo $((1000 / $1)); else
    awk -v r="$1" 'BEGIN {printf "%.4f", 1000 / r}'
  fi
}

start_desktop() {
  "$desktop" start "$dir" "1280x720@$1Hz" >/dev/null
  local status=$?
  ((status == 77)) && exit 77
  ((status == 0)) || fail "the desktop did not start"
}

start_show() {
  : >"$dir/hashes"
  chmod a+rw "$dir/hashes"
  (cd "$dir/show" && exec "$desktop" run "$dir" env SDL_VIDEODRIVER=wayland SDL_AUDIODRIVER=dummy \
    LD_PRELOAD="$dir/probe.so" QUARVELIN_PROBE_HASHES_FILE="$dir/hashes" ./quarvelin \
    >"$dir/show.log" 2>&1) &
  pid=$!
  for _ in $(seq 100); do
    [[ -s $dir/hashes ]] && return 0
    sleep 0.1
  done
  fail "the show presented nothing"
}

stop_show() {
  kill -TERM $pid 2>/dev/null
  wait $pid 2>/dev/null
  pid=
}

start_desktop "${rates[0]}"
cp -r "$show" "$dir/show" && cp "$probe" "$dir/probe.so" && chmod -R a+rX "$dir/show" "$dir/probe.so"
start_show

# User + system clock ticks of the show's process so far (0 where it cannot
# be found).
show_ticks() {
  cpu_ticks $(pgrep -P $pid -x quarvelin | head -n 1)
}

printf '%-8s %-10s %-11s %-11s %-10s %-6s %-13s %-9s %-7s %s\n' rate delivered presents/s distinct/s median cpu shortest-hold allowed/s late-ms short-pictures
failed=0
first=1
for rate in "${rates[@]}"; do
  if ((!first)) && ! "$desktop" mode "$dir" "1280x720@${rate}Hz" 2>/dev/null; then
    stop_show
    "$desktop" stop "$dir"
    start_desktop "$rate"
    start_show
  fi
  first=0
  sleep "$settle"
  kill -0 $pid 2>/dev/null || fail "the show ended at $rate Hz: $(cat "$dir/show.log")"
  from=$(wc -l <"$dir/hashes") ticks=$(show_ticks)
  sleep "$seconds"
  to=$(wc -l <"$dir/hashes") ticks_after=$(show_ticks)
  cpu=-
  [[ -n $ticks && -n $ticks_after ]] &&
    cpu=$(awk -v t=$((ticks_after - ticks)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
      'BEGIN {printf "%.0f%%", 100 * t / hz / s}')
  row=$(sed -n "$((from + 1)),${to}p" "$dir/hashes" | awk -v rate="$rate" -v frame="$(frame_ms "$rate")" -v cpu="$cpu" '
    {t[NR] = $1 / 1e6; h[NR] = $2}
    END {
      if (NR < 10) {print "none"; exit}
      span = (t[NR] - t[1]) / 1000
      n = NR - 1
      for (i = 1; i <= n; ++i) {
        v = t[i + 1] - t[i]
        for (j = i; j > 1 && iv[j - 1] > v; --j) iv[j] = iv[j - 1]
        iv[j] = v
      }
      # Refreshes a 60th of a second covers, whole; a picture is short when
      # it stayed half a refresh less than that.
      covers = int(1000 / 60 / frame + 0.01); if (covers < 1) covers = 1
      limit = (covers - 0.5) * frame
      first = 0; shortest = 1e9; pictures = 0; short = 0
      for (i = 2; i <= NR; ++i) if (h[i] != h[i - 1]) {
        if (first > 0) {
          hold = t[i] - t[first]; ++pictures
          if (hold < shortest) shortest = hold
          if (hold < limit) ++short
        }
        first = i
      }
      allowed = 0
      late = 0
      for (i = 2; i <= NR; ++i) {
        if (int(t[i] * 0.06) > int(t[i - 1] * 0.06)) ++allowed
        if (t[i] - t[i - 1] > 1.5 * frame) late += t[i] - t[i - 1] - frame
      }
      printf "%-8s %-10.1f %-11.1f %-11.1f %-10.2f %-6s %-13.1f %-9.1f %-7.0f %d of %d (under %d refreshes)\n",
        rate " Hz", 1000 / frame, NR / span, pictures / span, iv[int(n / 2) + 1], cpu, shortest, allowed / span, late, short,
        pictures, covers
      exit !(pictures / span <= 61 && pictures >= allowed - span - late * 0.06 && short * 2 < pictures)
    }')
  verdict=$?
  echo "$row"
  ((verdict == 0)) || failed=1
done
"$desktop" key "$dir" Escape
for _ in $(seq 100); do kill -0 $pid 2>/dev/null && sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "Escape did not end the show"
wait $pid
status=$?
pid=
((status == 0)) || fail "the show ended with $status"
((failed == 0)) || fail "the show's pace is off at one of the rates (above)"
