#!/usr/bin/env bash
# Measures quarvelin-capture's speed as a multiple of real time: seconds of
# video made per second of wall time, for H.264 at 640 x 480 and 1920 x 1080
# (and the lossless FFV1 capture at 640 x 480), with the CPU time beside it.
# Wall time depends on what else the machine runs (the load average is shown);
# seconds of video per CPU second is what one core of its own would give at
# least, as the encoders' threads only add to it.
#   measure/measure-capture.sh [build-folder] [seconds-of-video]
source "$(dirname "$0")/measure.sh"
build=${1:-build}
seconds=${2:-30}
measure_build "$build"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
cd "$show_dir"
for run in "640x480" "1920x1080" "640x480 --lossless"; do
  read -r size lossless <<<"$run"
  output=$scratch/capture.mp4
  [[ -z $lossless ]] || output=$scratch/capture.mkv
  TIMEFORMAT='%R %U %S'
  { time ./quarvelin-capture "$output" --seconds "$seconds" --size "$size" $lossless 2>&3; } \
    3>&2 2>"$scratch/time"
  read -r wall user system <"$scratch/time"
  awk -v run="$run" -v s="$seconds" -v wall="$wall" -v cpu="$user $system" \
    -v bytes="$(stat -c %s "$output")" 'BEGIN {
      split(cpu, t, " ")
      printf "%-20s %5.1f x real time, %5.1f x per CPU second  (%s s of video: %.2f s wall, %.2f s CPU, %.1f MB)\n",
             run, s / wall, s / (t[1] + t[2]), s, wall, t[1] + t[2], bytes / 1e6 }'
  rm -f "$output"
done
