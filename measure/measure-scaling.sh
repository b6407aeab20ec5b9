#!/usr/bin/env bash
# Runs the built show on private Xvfb screens of several sizes with SDL's
# software and OpenGL renderers (on Xvfb, OpenGL is Mesa's llvmpipe, which
# runs on the processor), and for 10 s after the first 2 s reports the
# presents per second, the intervals between presents over 25 ms, and the CPU
# share of the show and of the X server. "opengl, forced" is the renderer's
# own scaling (QUARVELIN_SCALE_BY_RENDERER=1), for comparison.
#   measure/measure-scaling.sh [build-folder] [sizes...]
# Default sizes: 640x480 1920x1080 2560x1440 3840x2160 (depth 24).
source "$(dirname "$0")/measure.sh"
build=${1:-build}
shift || true
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(640x480 1920x1080 2560x1440 3840x2160)
measure_build "$build" probe
work=$(mktemp -d)
show_pid=
cleanup() {
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
hz=$(getconf CLK_TCK)

monotonic_ns() { python3 -c 'import time; print(time.monotonic_ns())'; }

# measure SIZE TITLE ENVIRONMENT...: one run; prints a table row.
measure() {
  local size=$1 title=$2
  shift 2
  start_xvfb "${size}x24"
  : >"$work/presents"
  (cd "$show_dir" && exec env -u SDL_VIDEODRIVER "$@" DISPLAY="$DISPLAY" SDL_AUDIODRIVER=dummy \
    QUARVELIN_PROBE_PRESENTS_FILE="$work/presents" LD_PRELOAD="$probe" ./quarvelin) &
  show_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/presents ]] && break
    sleep 0.1
  done
  sleep 2
  kill -0 "$show_pid" 2>/dev/null || fail "$size $title: the show ended early"
  local from_ns show_from xvfb_from to_ns show_to xvfb_to
  from_ns=$(monotonic_ns) show_from=$(cpu_ticks "$show_pid") xvfb_from=$(cpu_ticks "$xvfb_pid")
  sleep 10
  to_ns=$(monotonic_ns) show_to=$(cpu_ticks "$show_pid") xvfb_to=$(cpu_ticks "$xvfb_pid")
  kill -TERM "$show_pid"
  wait "$show_pid" || true
  show_pid=
  stop_xvfb
  awk -v from="$from_ns" -v to="$to_ns" -v size="$size" -v title="$title" -v hz="$hz" \
    -v show="$((show_to - show_from))" -v xvfb="$((xvfb_to - xvfb_from))" '
    $1 >= from && $1 <= to {
      if (n > 0 && $1 - previous > 25e6) ++long
      previous = $1; ++n
    }
    END {
      seconds = (to - from) / 1e9
      printf "| %s | %s | %.1f | %d | %.0f %% | %.0f %% | %.0f %% |\n", size, title, n / seconds,
        long, 100 * show / hz / seconds, 100 * xvfb / hz / seconds, 100 * (show + xvfb) / hz / seconds
    }' "$work/presents"
}

echo "| screen | renderer | presents/s | intervals > 25 ms | show | X server | together |"
echo "|---|---|---|---|---|---|---|"
for size in "${sizes[@]}"; do
  measure "$size" software SDL_RENDER_DRIVER=software
  measure "$size" opengl SDL_RENDER_DRIVER=opengl
  measure "$size" "opengl, forced" SDL_RENDER_DRIVER=opengl QUARVELIN_SCALE_BY_RENDERER=1
done
