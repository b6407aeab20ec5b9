#!/usr/bin/env bash
# Plays the built show (headless: SDL's dummy video driver) through a private
# PipeWire server (tests/support/sound-server.sh) for a while, recording its sink,
# and reports: the gaps in what was heard (output underruns of 20 ms or
# more, as tests/support's comparer finds them), and the CPU share of one core
# taken by the show and by the server (pipewire, wireplumber, pipewire-pulse).
#   measure/measure-sound-server.sh [build-folder] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}
show_dir=$(realpath "$build/show")
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; tests/support/sound-server.sh stop "$work"; rm -rf "$work"' EXIT

mapfile -t environment < <(tests/support/sound-server.sh start "$work")
(cd "$show_dir" && exec env "${environment[@]}" SDL_VIDEODRIVER=dummy ./quarvelin) &
pid=$!
sleep 1
tests/support/sound-server.sh record "$work" "$work/heard.wav"

ticks() { # utime + stime of the given processes
  local total=0 p
  for p in "$@"; do total=$((total + $(awk '{print $14 + $15}' "/proc/$p/stat"))); done
  echo $total
}
server_pids=$(cat "$work"/pipewire.pid "$work"/wireplumber.pid "$work"/pipewire-pulse.pid)
show_before=$(ticks $pid)
server_before=$(ticks $server_pids)
start_ns=$(date +%s%N)
sleep "$seconds"
show_ticks=$(($(ticks $pid) - show_before))
server_ticks=$(($(ticks $server_pids) - server_before))
wall=$((($(date +%s%N) - start_ns) / 1000000))
tests/support/sound-server.sh stop-record "$work"

hz=$(getconf CLK_TCK)
share() { awk -v t="$1" -v hz="$hz" -v ms="$wall" 'BEGIN {printf "%.1f %%", 100 * t / hz / (ms / 1000)}'; }
echo "over $seconds s: show $(share $show_ticks) of one core, sound server $(share $server_ticks)"
echo "what the sink played: $("$build/tests/support/sound_compare" "$work/heard.wav" "$show_dir/RETRO.XM" || true)"
