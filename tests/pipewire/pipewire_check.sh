#!/usr/bin/env bash
# The show's sound through a real sound server (scripts/sound-server.sh:
# PipeWire with its PulseAudio server and a null sink), one session:
#   pipewire_check.sh SOUND_COMPARE SHOW_FOLDER
# what the sink plays is the song without gaps; after the server restarts it
# is the song again; after 5 s stopped (SIGSTOP) too; while there is no
# server the show runs on quietly without spinning; SIGTERM ends it with 0.
# Each recording's figures are printed. Exit status 77 where there is no PipeWire.
set -uo pipefail
compare=$1 show=$2
command -v pipewire >/dev/null && command -v pipewire-pulse >/dev/null && command -v parec >/dev/null ||
  exit 77
server=$(cd "$(dirname "$0")/../.." && pwd)/scripts/sound-server.sh
dir=$(mktemp -d /tmp/quarvelin-pipewire-XXXXXX)
pid=
trap '[[ -n $pid ]] && kill -KILL $pid 2>/dev/null; "$server" stop "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$dir/show.log" >&2 2>/dev/null; exit 1; }
# Under load the output may starve for a moment; a stop of the sound is far longer.
MAX_GAP_MS=250

mapfile -t environment < <("$server" start "$dir") || fail "the sound server did not start"
(cd "$show" && exec env "${environment[@]}" SDL_VIDEODRIVER=dummy ./quarvelin >"$dir/show.log" 2>&1) &
pid=$!

# Waits up to 20 s for the show's stream on the server.
stream_seen() {
  for _ in $(seq 100); do
    env "${environment[@]}" pactl list short sink-inputs 2>/dev/null | grep -q . && return 0
    sleep 0.2
  done
  return 1
}
# Records `seconds` of the sink and compares it with the song.
listen() {
  local what=$1 seconds=$2
  "$server" record "$dir" "$dir/heard.wav" || fail "$what: the recording did not start"
  sleep "$seconds"
  "$server" stop-record "$dir"
  local verdict
  verdict=$("$compare" "$dir/heard.wav" "$show/RETRO.XM" --max-gap-ms $MAX_GAP_MS) ||
    fail "$what: not the song, or with a gap: $verdict"
  echo "$what: $verdict"
}

stream_seen || fail "no stream from the show"
listen "first 8 s" 8

"$server" restart "$dir" >/dev/null || fail "the sound server did not start again"
back=$(date +%s%N)
stream_seen || fail "the show did not come back after the server restarted"
echo "stream back $((($(date +%s%N) - back) / 1000000)) ms after the server"
sleep 1
listen "after the restart" 8

kill -STOP $pid
sleep 5
kill -CONT $pid
sleep 1
listen "after 5 s stopped" 6

"$server" stop "$dir"
ticks() { awk '{print $14 + $15}' /proc/$pid/stat; }
before=$(ticks)
sleep 3
kill -0 $pid 2>/dev/null || fail "the show ended without a sound server"
# Retrying the output must not spin: a spinning thread takes 300 ticks here.
(($(ticks) - before < 150)) || fail "the show spins without a sound server"

kill -TERM $pid
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
wait $pid
status=$?
pid=
((status == 0)) || fail "SIGTERM ended it with $status"
[[ -s $dir/show.log ]] && fail "the show printed something"
exit 0
