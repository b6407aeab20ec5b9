#!/usr/bin/env bash
# Runs the built show headless (SDL's dummy video driver, dummy audio with the
# mixer running) for a while and reports its CPU share, peak resident memory
# and the time from start to the first presented frame.
#   scripts/measure-resources.sh [build-folder] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-20}
probe=$(realpath "$build/tools/quarvelin-present-probe.so")
show_dir=$(realpath "$build/show")
stamp=$(mktemp)
trap 'rm -f "$stamp"' EXIT

cd "$show_dir"
start_ns=$(date +%s%N)
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy QUARVELIN_PROBE_FILE="$stamp" LD_PRELOAD="$probe" \
  ./quarvelin &
pid=$!
sleep "$seconds"
read -r -a stat < <(sed 's/^.*) //' "/proc/$pid/stat")
ticks=$((stat[11] + stat[12])) # utime + stime
peak_kib=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
# Wall time of the process from its own start time, in clock ticks since boot.
hz=$(getconf CLK_TCK)
uptime_ticks=$(awk -v hz="$hz" '{printf "%d", $1 * hz}' /proc/uptime)
alive_ticks=$((uptime_ticks - stat[19]))
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
first_ns=$(cat "$stamp" 2>/dev/null || echo "")

awk -v t="$ticks" -v a="$alive_ticks" 'BEGIN {printf "cpu share:        %.1f %% of one core\n", 100 * t / a}'
awk -v k="$peak_kib" 'BEGIN {printf "peak resident:    %.1f MiB\n", k / 1024}'
if [[ -n $first_ns ]]; then
  awk -v f="$first_ns" -v s="$start_ns" 'BEGIN {printf "first frame:      %.0f ms after start\n", (f - s) / 1e6}'
else
  echo "first frame:      none presented"
fi
echo "exit status:      $status"
