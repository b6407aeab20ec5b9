#!/usr/bin/env bash
# The show's sound through a private PipeWire server (tests/support/sound-server.sh), one session:
#   pipewire_check.sh SOUND_COMPARE SHOW_FOLDER
# the sink plays the song; after the server restarts, the show's stream is
# back and plays the song again; after 5 s stopped (SIGSTOP) too; without a
# server the show runs on without spinning; with a server that never answers
# (its output's reopen waiting inside SDL) SIGTERM still ends it with 0.
# Each recording's figures are printed.
set -uo pipefail
compare=$1 show=$2
command -v pipewire-pulse >/dev/null && command -v parec >/dev/null || exit 77
server=$(cd "$(dirname "$0")/../../support" && pwd)/sound-server.sh
source "$(dirname "$server")/cpu-time.sh"
dir=$(mktemp -d /tmp/quarvelin-pipewire-XXXXXX) pid=
trap '[[ -n $pid ]] && kill -TERM $pid 2>/dev/null && wait $pid; "$server" stop "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$dir/show.log" >&2; exit 1; }
mapfile -t environment < <("$server" start "$dir") || fail "the sound server did not start"
(cd "$show" && exec env "${environment[@]}" SDL_VIDEODRIVER=dummy ./quarvelin >"$dir/show.log" 2>&1) &
pid=$!

# Up to 20 s for the show's stream on the server.
stream_seen() {
  for _ in $(seq 100); do
    env "${environment[@]}" pactl list short sink-inputs 2>/dev/null | grep -q . && return 0
    sleep 0.2
  done
  fail "no stream from the show $1"
}
# Up to four 5 s recordings of the sink, until one is the song: a busy
# machine starves the output now and then (short gaps that shift what
# follows), while a lost output is silence for good and another sound is no
# likeness at all.
listen() {
  local verdict _
  for _ in 1 2 3 4; do
    "$server" record "$dir" "$dir/heard.wav" || fail "the recording did not start"
    sleep 5
    "$server" stop-record "$dir"
    verdict=$("$compare" "$dir/heard.wav" "$show/RETRO.XM" --max-gap-ms 500 --min-correlation 0.5) &&
      echo "$1: $verdict" && return 0
    echo "$1 (starved?): $verdict"
  done
  fail "not the song $1"
}

stream_seen "at first"
listen "at first"
"$server" restart "$dir" >/dev/null || fail "the sound server did not start again"
back=$(date +%s%N)
stream_seen "after the server restarted"
echo "the stream was back $((($(date +%s%N) - back) / 1000000)) ms after the server"
listen "after the server restarted"
kill -STOP $pid
sleep 5
kill -CONT $pid
listen "after 5 s stopped"
"$server" stop "$dir"
before=$(cpu_ticks $pid)
sleep 3
# A thread spinning to reopen the output would take a whole core (300 ticks).
(($(cpu_ticks $pid) - before < 150)) || fail "the show spins without a server"
"$server" mute "$dir" || fail "the mute sockets did not open"
sleep 1
kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null && sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "the show did not end while its output's open waited"
wait $pid
ended=$?
pid=
((ended == 0)) || fail "ended with $ended while its output's open waited"
[[ -s $dir/show.log ]] && fail "the show printed something"
exit 0
