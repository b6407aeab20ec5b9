#!/usr/bin/env bash
# The show on a headless Wayland desktop (tests/support/sway.sh), natively or through XWayland:
#   wayland_check.sh SCREEN_SCENE SHOW_FOLDER wayland|x11
# One session: the scenes are seen, fullscreen, idling inhibited (sway honours
# that for Wayland clients only); another workspace idles the show and coming
# back resumes it; Escape (native) or a close request (XWayland) ends it with
# 0. A second session ends without a signal when the compositor goes away.
set -uo pipefail
judge=$1 show=$2 driver=$3
sway=$(cd "$(dirname "$0")/../../support" && pwd)/sway.sh
dir=$(mktemp -d /tmp/quarvelin-wayland-XXXXXX)
trap '"$sway" stop "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL ($driver): $*" >&2; cat "$dir/show.log" >&2; exit 1; }
"$sway" start "$dir" >/dev/null
status=$?
((status == 77 || status == 0)) || fail "the desktop did not start"
((status == 77)) && exit 77
cp -r "$show" "$dir/show" && chmod -R a+rX "$dir/show" # readable by the desktop's user
desk() { "$sway" run "$dir" "$@"; }

start_show() {
  (cd "$dir/show" && exec "$sway" run "$dir" env SDL_VIDEODRIVER="$driver" SDL_AUDIODRIVER=dummy \
    ./quarvelin >"$dir/show.log" 2>&1) &
  pid=$!
}
# Up to 10 s for the show to end; its status in $ended.
wait_end() {
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null && sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "the show did not end"
  wait $pid
  ended=$?
}
# Up to 20 s for a screenshot showing one of the scenes.
see_scene() {
  for _ in $(seq 40); do
    desk grim -t ppm - >"$dir/shot.ppm" 2>/dev/null && "$judge" "$dir/shot.ppm" "$dir/show" >/dev/null &&
      return 0
    sleep 0.5
  done
  fail "no scene on the screen $1"
}
tree_has() { desk swaymsg -t get_tree | tr -d ' \n' | grep -q "$1" || fail "no $1 in sway's tree"; }
source "$(dirname "$0")/../../support/cpu-time.sh"
show_ticks() { cpu_ticks "$(pgrep -P $pid -x quarvelin)"; }

start_show
see_scene "at first"
tree_has '"name":"QUARVELIN"[^{}]*"fullscreen_mode":1'
[[ $driver == x11 ]] || tree_has '"inhibit_idle":true'
desk swaymsg workspace 2 >/dev/null
sleep 1
before=$(show_ticks)
sleep 3
# A frame loop that spun instead of waiting would take a whole core (300 ticks).
(($(show_ticks) - before < 150)) || fail "the show does not idle on another workspace"
desk swaymsg workspace 1 >/dev/null
see_scene "after coming back"
if [[ $driver == wayland ]]; then "$sway" key "$dir" Escape; else desk swaymsg '[title="QUARVELIN"] kill' >/dev/null; fi
wait_end
((ended == 0)) || fail "ended with $ended"
[[ -s $dir/show.log ]] && fail "the show printed something"

start_show
see_scene "in the second session"
"$sway" stop "$dir"
wait_end
((ended < 128)) || fail "killed by signal $((ended - 128)) when the compositor went away"
echo "without its compositor the show ended with status $ended"
