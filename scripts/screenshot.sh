#!/usr/bin/env bash
# Takes a screenshot of the show from a real run on a private X server.
#   scripts/screenshot.sh [build-folder] [output.png] [seconds-into-the-show]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
output=$(realpath -m "${2:-docs/screenshot.png}")
seconds=${3:-12}
display=:$((90 + RANDOM % 50))
mkdir -p "$(dirname "$output")"

Xvfb "$display" -screen 0 640x480x24 -nolisten tcp &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [[ -S /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.05; done

cd "$build/show"
DISPLAY=$display SDL_AUDIODRIVER=dummy ./quarvelin &
show=$!
sleep "$seconds"
DISPLAY=$display xwd -root -silent | convert xwd:- "$output"
DISPLAY=$display xdotool key Escape
wait "$show"
echo "wrote $output"
