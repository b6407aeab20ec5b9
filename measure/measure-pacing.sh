#!/usr/bin/env bash
# Runs the built show for a while, headless (SDL's dummy video and audio
# drivers) or on a private Xvfb screen, and reports the distribution of the
# intervals between presented frames, the CPU share and the resident memory
# over time. On Xvfb it then gives the focus to another window for 5 s and
# reports the presents and the CPU share while the show is in the background.
#   measure/measure-pacing.sh [build-folder] [seconds] [headless|xvfb]
# Defaults: build, 20 s, headless. The long measurement is 600 s.
source "$(dirname "$0")/measure.sh"
build=${1:-build}
seconds=${2:-20}
where=${3:-headless}
measure_build "$build" probe
work=$(mktemp -d)
xvfb_pid= show_pid= other_pid=
cleanup() {
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  [[ -n $other_pid ]] && kill -TERM "$other_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill -TERM "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

environment=(SDL_AUDIODRIVER=dummy QUARVELIN_PROBE_PRESENTS_FILE="$work/presents"
             LD_PRELOAD="$probe")
case $where in
headless) environment+=(SDL_VIDEODRIVER=dummy) ;;
xvfb)
  start_xvfb 640x480x24
  environment+=(DISPLAY="$DISPLAY")
  ;;
*) echo "usage: $0 [build-folder] [seconds] [headless|xvfb]" >&2; exit 2 ;;
esac

(cd "$show_dir" && exec env -u SDL_VIDEODRIVER "${environment[@]}" ./quarvelin) &
show_pid=$!

hz=$(getconf CLK_TCK)
started_ns=$(date +%s%N)

# Resident memory about 20 times over the run (every second at most).
step=$((seconds / 20 > 0 ? seconds / 20 : 1))
: >"$work/memory"
for ((t = step; t <= seconds; t += step)); do
  sleep "$step"
  kill -0 "$show_pid" 2>/dev/null || { echo "the show ended early" >&2; exit 1; }
  echo "$t $(awk '/^VmRSS:/ {print $2}' "/proc/$show_pid/status")" >>"$work/memory"
done
run_share=$(awk -v t="$(cpu_ticks "$show_pid")" -v hz="$hz" -v s="$started_ns" -v n="$(date +%s%N)" \
  'BEGIN {printf "%.1f", 100 * t / hz / ((n - s) / 1e9)}')
presents_in_run=$(wc -l <"$work/presents")

background=
if [[ $where == xvfb ]]; then
  xclock 2>/dev/null &
  other_pid=$!
  sleep 1
  xdotool search --sync --name xclock windowfocus --sync
  sleep 1
  before_ticks=$(cpu_ticks "$show_pid") before_presents=$(wc -l <"$work/presents")
  sleep 5
  background=$(awk -v t="$(($(cpu_ticks "$show_pid") - before_ticks))" -v hz="$hz" \
    -v p="$(($(wc -l <"$work/presents") - before_presents))" \
    'BEGIN {printf "%d presents, CPU share %.1f %% of one core", p, 100 * t / hz / 5}')
fi
kill -TERM "$show_pid"
status=0
wait "$show_pid" || status=$?
show_pid=

echo "== $where, $seconds s (exit status $status)"
echo "cpu share:          $run_share % of one core over the run"
[[ -n $background ]] && echo "in the background:  $background (5 s, another window focused)"
head -n "$presents_in_run" "$work/presents" >"$work/run_presents"
# Intervals in milliseconds, after the first second (start-up and the pacing probe).
awk 'NR == 1 {first = $1} {if (NR > 1 && $1 - first > 1e9) print ($1 - previous) / 1e6; previous = $1}' \
  "$work/run_presents" | sort -n >"$work/intervals"
awk '
  {v[NR] = $1; sum += $1; sq += $1 * $1}
  END {
    if (NR == 0) {print "no presents"; exit}
    mean = sum / NR
    printf "presents:           %d intervals, mean %.3f ms (%.2f per second), sd %.3f ms\n", NR, mean, 1000 / mean, sqrt(sq / NR - mean * mean)
    printf "percentiles (ms):   min %.2f  1%% %.2f  10%% %.2f  50%% %.2f  90%% %.2f  99%% %.2f  99.9%% %.2f  max %.2f\n",
      v[1], v[int(NR * .01) + 1], v[int(NR * .1) + 1], v[int(NR * .5) + 1], v[int(NR * .9) + 1], v[int(NR * .99) + 1],
      v[int(NR * .999) + 1], v[NR]
    for (i = 1; i <= NR; ++i) {
      if (v[i] > 1.5 * v[int(NR * .5) + 1]) ++skipped
      if (v[i] < 0.5 * v[int(NR * .5) + 1]) ++short
    }
    printf "outside the median: %d longer than 1.5x (a refresh skipped), %d shorter than 0.5x\n", skipped, short
  }' "$work/intervals"
awk '
  {t[NR] = $1; k[NR] = $2; if (NR == 1 || $2 < low) low = $2; if ($2 > high) high = $2}
  END {
    if (NR == 0) exit
    printf "resident memory:    %.1f MiB at %d s, %.1f MiB at %d s; range %.1f .. %.1f MiB\n",
      k[1] / 1024, t[1], k[NR] / 1024, t[NR], low / 1024, high / 1024
    line = "  samples (s:MiB):"
    for (i = 1; i <= NR; ++i) line = line sprintf(" %d:%.1f", t[i], k[i] / 1024)
    print line
  }' "$work/memory"
