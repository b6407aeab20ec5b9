#!/usr/bin/env bash
# Takes a screenshot of the show from a real run on a private X server.
#   scripts/screenshot.sh [build-folder] [output.png] [seconds-into-the-show]
# The output defaults to screenshot.png in the build folder; paths are taken
# from the folder the script is started in.
set -euo pipefail
build=$(realpath "${1:-build}")
output=$(realpath -m "${2:-$build/screenshot.png}")
seconds=${3:-12}
cd "$(dirname "$0")/.."
source tests/support/xvfb.sh
work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT
mkdir -p "$(dirname "$output")"
start_xvfb 640x480x24

cd "$build/show"
SDL_AUDIODRIVER=dummy ./quarvelin &
show=$!
sleep "$seconds"
xwd -root -silent | convert xwd:- "$output"
xdotool key Escape
wait "$show"
echo "wrote $output"
