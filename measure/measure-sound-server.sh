#!/usr/bin/env bash
# Plays the built show (headless: SDL's dummy video driver) through a private
# PipeWire server (tests/support/sound-server.sh) for a while, recording its sink,
# and reports: the gaps in what was heard (output underruns of 20 ms or
# more, as tests/support's comparer finds them), and the CPU share of one core
# taken by the show and by the server (pipewire, wireplumber, pipewire-pulse).
#   measure/measure-sound-server.sh [build-folder] [seconds]
source "$(dirname "$0")/measure.sh"
build=${1:-build}
seconds=${2:-60}
measure_build "$build"
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; tests/support/sound-server.sh stop "$work"; rm -rf "$work"' EXIT

mapfile -t environment < <(tests/support/sound-server.sh start "$work")
(cd "$show_dir" && exec env "${environment[@]}" SDL_VIDEODRIVER=dummy ./quarvelin) &
pid=$!
sleep 1
tests/support/sound-server.sh record "$work" "$work/heard.wav"

server_pids=$(cat "$work"/pipewire.pid "$work"/wireplumber.pid "$work"/pipewire-pulse.pid)
show_before=$(cpu_ticks $pid)
server_before=$(cpu_ticks $server_pids)
start_ns=$(date +%s%N)
sleep "$seconds"
show_ticks=$(($(cpu_ticks $pid) - show_before))
server_ticks=$(($(cpu_ticks $server_pids) - server_before))
wall=$((($(date +%s%N) - start_ns) / 1000000))
tests/support/sound-server.sh stop-record "$work"

hz=$(getconf CLK_TCK)
share() { awk -v t="$1" -v hz="$hz" -v ms="$wall" 'BEGIN {printf "%.1f %%", 100 * t / hz / (ms / 1000)}'; }
echo "over $seconds s: show $(share $show_ticks) of one core, sound server $(share $server_ticks)"
echo "what the sink played: $("$build/tests/support/sound_compare" "$work/heard.wav" "$show_dir/RETRO.XM" || true)"
