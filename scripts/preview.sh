#!/usr/bin/env bash
# Makes the README's animated preview: the show captured by quarvelin-capture
# (lossless, 30 frames a second), cut to SECONDS from START, halved to
# 320 x 240 (nearest pixel) and written as a looping GIF. Needs ffmpeg.
#   scripts/preview.sh [build-folder] [output.gif] [start] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
output=$(realpath -m "${2:-docs/preview.gif}")
start=${3:-6.2}
seconds=${4:-3.6}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

end=$(awk -v a="$start" -v b="$seconds" 'BEGIN { print a + b }')
(cd "$build/show" && ./quarvelin-capture "$scratch/show.mkv" --lossless --fps 30 --seconds "$end")
ffmpeg -v error -y -ss "$start" -t "$seconds" -i "$scratch/show.mkv" -an -vf \
  "scale=320:240:flags=neighbor,split[a][b];[a]palettegen=max_colors=128[p];[b][p]paletteuse=dither=none" \
  -loop 0 "$output"
echo "$output: $(stat -c %s "$output") bytes"
