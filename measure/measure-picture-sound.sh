#!/usr/bin/env bash
# How far a scene's picture is from its note as heard, end to end through a
# sound server: the show plays on a private Xvfb (640x480) into a private
# PipeWire (tests/support/sound-server.sh); the sink's monitor is recorded with the
# arrival time of every piece, and the present probe logs each present's time
# and mean blue in a 4 x 4 grid (the tint leaves blue alone), all on the monotonic clock.
# The recording is placed in the song to the millisecond (tests/support's
# comparer), which gives the moment each song time was heard; a scene cue's
# picture is the present, near that moment, where the blue moves most. Prints one
# line per cue and the median: positive when the picture comes after its note.
#   measure/measure-picture-sound.sh [build-folder] [seconds]
source "$(dirname "$0")/measure.sh"
build=${1:-build}
seconds=${2:-35}
measure_build "$build" probe
work=$(mktemp -d)
show_pid=
recorder_pid=
cleanup() {
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  [[ -n $recorder_pid ]] && kill "$recorder_pid" 2>/dev/null
  tests/support/sound-server.sh stop "$work/sound"
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
rate=48000

mapfile -t environment < <(tests/support/sound-server.sh start "$work/sound")
start_xvfb 640x480x24

# The recorder: 10 ms pieces, each logged with its arrival time and the
# frames received so far.
env "${environment[@]}" parec --device=quarvelin_sink.monitor --latency-msec=10 --format=s16le \
  --rate=$rate --channels=2 --raw | python3 measure/record_timed.py "$rate" "$work/heard.wav" "$work/arrivals" &
recorder_pid=$!
sleep 0.5

(cd "$show_dir" && exec env -u SDL_VIDEODRIVER "${environment[@]}" DISPLAY="$DISPLAY" \
  QUARVELIN_PROBE_PICTURES_FILE="$work/pictures" LD_PRELOAD="$probe" ./quarvelin) &
show_pid=$!
sleep "$seconds"
kill -TERM "$show_pid"
wait "$show_pid" || true
show_pid=
sleep 0.3
pkill -INT -f "parec --device=quarvelin_sink.monitor --latency-msec=10" || true
wait "$recorder_pid" || true
recorder_pid=

placed=$("$build/tests/support/sound_compare" "$work/heard.wav" "$show_dir/RETRO.XM" --skip-seconds 2) ||
  fail "the recording is not the song: $placed"
cues=$("$build/tools/quarvelin-cues" "$show_dir/RETRO.XM" | awk '
  /^instrument [346] / {on = 1; sub(/^[^:]*:/, "")}
  /^instrument/ && !/^instrument [346] / {on = 0}
  on {for (i = 1; i <= NF; ++i) print $i}')
python3 measure/picture_sound_offsets.py "$placed" "$work" "$build/tests/support/sound_compare" \
  "$show_dir/RETRO.XM" $rate $cues
