#!/usr/bin/env bash
# Runs the built show for a while, twice: headless (SDL's dummy video driver)
# and as users see it, on a private X server (Xvfb, 640x480x24) with SDL's
# OpenGL renderer; dummy audio with the mixer running both times. Reports its
# CPU share, peak resident memory and the time from start to the first
# presented frame for each.
#   measure/measure-resources.sh [build-folder] [seconds]
source "$(dirname "$0")/measure.sh"
build=${1:-build}
seconds=${2:-20}
measure_build "$build" probe
work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT

# measure TITLE ENVIRONMENT...: one run of the show in its folder.
measure() {
  local title=$1
  shift
  local stamp=$work/stamp
  rm -f "$stamp"
  local start_ns
  start_ns=$(date +%s%N)
  (cd "$show_dir" && exec env "$@" SDL_AUDIODRIVER=dummy QUARVELIN_PROBE_FILE="$stamp" LD_PRELOAD="$probe" \
    ./quarvelin) &
  local pid=$!
  sleep "$seconds"
  local stat ticks peak_kib hz uptime_ticks alive_ticks
  if ! read -r -a stat < <(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null); then
    local status=0
    wait "$pid" || status=$?
    fail "$title: the show ended early with status $status"
  fi
  ticks=$((stat[11] + stat[12])) # utime + stime
  peak_kib=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
  # Wall time of the process from its own start time, in clock ticks since boot.
  hz=$(getconf CLK_TCK)
  uptime_ticks=$(awk -v hz="$hz" '{printf "%d", $1 * hz}' /proc/uptime)
  alive_ticks=$((uptime_ticks - stat[19]))
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  local first_ns
  first_ns=$(cat "$stamp" 2>/dev/null || echo "")

  echo "== $title, ${seconds} s"
  awk -v t="$ticks" -v a="$alive_ticks" 'BEGIN {printf "cpu share:        %.1f %% of one core\n", 100 * t / a}'
  awk -v k="$peak_kib" 'BEGIN {printf "peak resident:    %.1f MiB\n", k / 1024}'
  if [[ -n $first_ns ]]; then
    awk -v f="$first_ns" -v s="$start_ns" 'BEGIN {printf "first frame:      %.0f ms after start\n", (f - s) / 1e6}'
  else
    echo "first frame:      none presented"
  fi
  echo "exit status:      $status"
}

measure "headless (dummy video driver)" SDL_VIDEODRIVER=dummy
start_xvfb 640x480x24
measure "Xvfb 640x480x24, OpenGL renderer" SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=opengl
