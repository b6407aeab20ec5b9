#!/usr/bin/env bash
# The show on a Wayland desktop (scripts/sway.sh), natively or through
# XWayland:
#   wayland_check.sh SCREEN_SCENE SHOW_FOLDER wayland|x11
# One session: the scenes are seen fullscreen, focused, with idling
# inhibited; another workspace idles it and coming back resumes it; Escape
# (native) or a close request (XWayland) ends it with 0. A second session
# ends, promptly and without a signal, when the compositor goes away.
# Exit status 77 where no such desktop can be made here.
set -uo pipefail
judge=$1 show=$2 driver=$3
sway=$(cd "$(dirname "$0")/../.." && pwd)/scripts/sway.sh
dir=$(mktemp -d /tmp/quarvelin-wayland-XXXXXX)
trap '"$sway" stop "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL ($driver): $*" >&2; cat "$dir/show.log" >&2 2>/dev/null; exit 1; }

"$sway" start "$dir" >/dev/null
status=$?
[[ $status == 77 ]] && exit 77
[[ $status == 0 ]] || fail "the desktop did not start"
# The show's folder where the desktop's user can read it.
cp -r "$show" "$dir/show"
chmod -R a+rX "$dir/show"
desk() { "$sway" run "$dir" "$@"; }

start_show() {
  (cd "$dir/show" && exec "$sway" run "$dir" env SDL_VIDEODRIVER="$driver" SDL_AUDIODRIVER=dummy \
    ./quarvelin >"$dir/show.log" 2>&1) &
  pid=$!
}
# Waits up to $1 s for the show to end; its status in $ended.
wait_end() {
  for _ in $(seq $((10 * $1))); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  kill -0 $pid 2>/dev/null && fail "the show did not end within $1 s"
  wait $pid
  ended=$?
}
shot() { desk grim -t ppm - >"$dir/shot.ppm" 2>/dev/null; }
# Waits up to 20 s for a screenshot that shows one of the scenes.
see_scene() {
  for _ in $(seq 40); do
    shot && "$judge" "$dir/shot.ppm" "$dir/show" >/dev/null && return 0
    sleep 0.5
  done
  return 1
}
tree_has() { desk swaymsg -t get_tree | tr -d ' \n' | grep -q "$1"; }
show_cpu_ticks() {
  local program
  program=$(pgrep -P "$pid" -x quarvelin | head -n 1)
  awk '{print $14 + $15}' "/proc/${program:-0}/stat" 2>/dev/null || echo 0
}

start_show
see_scene || fail "no scene on the screen"
tree_has '"name":"QUARVELIN"' || fail "no window named QUARVELIN"
tree_has '"focused":true,[^{}]*"fullscreen_mode":1' || tree_has '"fullscreen_mode":1' ||
  fail "the window is not fullscreen"
# sway honours idle inhibitors of Wayland clients only; through XWayland the
# show asks as it does on X11 (the screen saver extension, D-Bus).
[[ $driver == x11 ]] || tree_has '"inhibit_idle":true' || fail "idling is not inhibited"

desk swaymsg workspace 2 >/dev/null
sleep 1
before=$(show_cpu_ticks)
sleep 3
# A frame loop that spun instead of waiting would take a whole core (300 ticks).
(($(show_cpu_ticks) - before < 150)) || fail "the show does not idle on another workspace"
desk swaymsg workspace 1 >/dev/null
see_scene || fail "no scene after coming back"

if [[ $driver == wayland ]]; then
  "$sway" key "$dir" Escape
else
  desk swaymsg '[title="QUARVELIN"] kill' >/dev/null
fi
wait_end 10
((ended == 0)) || fail "ended with $ended"
[[ -s $dir/show.log ]] && fail "the show printed something"

start_show
see_scene || fail "no scene in the second session"
"$sway" stop "$dir"
wait_end 10
((ended < 128)) || fail "killed by signal $((ended - 128)) when the compositor went away"
exit 0
