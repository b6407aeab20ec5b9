#!/usr/bin/env bash
# Ends the built show with Escape on a private X server (tests/support/xvfb.sh)
# while its sound server (tests/support/sound-server.sh) is away, RUNS times, and
# reports each ending: the status, the milliseconds from Escape (xdotool's
# own start included) to the end, and any output. Odd runs stop the server
# (the output's opens fail at once); even runs mute it (an open waits for
# ever). Escape comes 0 to 1.4 s later. Exits 1 when a run ends otherwise
# than with 0, silently, within LIMIT_MS.
#   measure/measure-sound-ending.sh [build-folder] [runs] [limit-ms]
source "$(dirname "$0")/measure.sh"
set +e # each run's status is looked at
build=${1:-build}
runs=${2:-50}
limit_ms=${3:-1000}
measure_build "$build"
work=$(mktemp -d /tmp/quarvelin-ending-XXXXXX)
pid=
trap 'kill -KILL $pid 2>/dev/null; tests/support/sound-server.sh stop "$work"; stop_xvfb; rm -rf "$work"' EXIT
start_xvfb 640x480x24

bad=0
for run in $(seq "$runs"); do
  mapfile -t environment < <(tests/support/sound-server.sh start "$work") || fail "the sound server did not start"
  (cd "$show_dir" && exec env "${environment[@]}" ./quarvelin >"$work/show.log" 2>&1) &
  pid=$!
  for _ in $(seq 100); do
    env "${environment[@]}" pactl list short sink-inputs 2>/dev/null | grep -q . && break
    sleep 0.2
  done
  way=stop
  ((run % 2 == 0)) && way=mute
  tests/support/sound-server.sh $way "$work"
  sleep "$(awk -v r=$RANDOM 'BEGIN {printf "%.2f", r % 141 / 100}')"
  (sleep 10 && kill -KILL $pid) 2>/dev/null &
  killer=$!
  start=$(date +%s%N)
  xdotool key Escape # its own start counts too
  wait $pid
  status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  kill $killer 2>/dev/null
  verdict=ok
  ((status == 0 && ms <= limit_ms)) && [[ ! -s $work/show.log ]] || verdict=BAD bad=$((bad + 1))
  echo "run $run (server $way): status $status, $ms ms after Escape, $(wc -c <"$work/show.log") bytes printed: $verdict"
done
echo "$((runs - bad)) of $runs runs ended with 0, silently, within $limit_ms ms"
((bad == 0))
