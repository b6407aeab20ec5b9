#!/usr/bin/env bash
# The show on a headless GNOME Shell (tests/support/gnome.sh), natively on Wayland
# and then through XWayland, on one desktop:
#   gnome_check.sh SCREEN_SCENE SHOW_FOLDER
# Each session: a scene is seen filling the screen, Escape ends the show with
# 0, and it printed nothing.
set -uo pipefail
judge=$1 show=$2
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/tests/support/xvfb.sh" # fail
gnome=$root/tests/support/gnome.sh
dir=$(mktemp -d /tmp/quarvelin-gnome-XXXXXX)
trap '"$gnome" stop "$dir"; rm -rf "$dir"' EXIT
"$gnome" start "$dir" >/dev/null
status=$?
((status == 77)) && exit 77
((status == 0)) || fail "the desktop did not start"
cp -r "$show" "$dir/show" && chmod -R a+rX "$dir/show" # readable by the desktop's user

# Up to 20 s for a screenshot showing one of the scenes. The 640 x 480
# picture fills the 1280 x 720 screen's height: the middle 960 x 720, taken
# back to 640 x 480 pixel for pixel (nearest), is what the judge compares.
see_scene() {
  for _ in $(seq 40); do
    "$gnome" screenshot "$dir" "$dir/shot.png" 2>/dev/null &&
      convert "$dir/shot.png" -gravity center -crop 960x720+0+0 +repage -sample '640x480!' \
        "$dir/shot.ppm" && "$judge" "$dir/shot.ppm" "$dir/show" >/dev/null && return 0
    sleep 0.5
  done
  fail "($1) no scene on the screen: $(cat "$dir/show.log")"
}

for driver in wayland x11; do
  (cd "$dir/show" && exec "$gnome" run "$dir" env SDL_VIDEODRIVER="$driver" SDL_AUDIODRIVER=dummy \
    ./quarvelin >"$dir/show.log" 2>&1) &
  pid=$!
  see_scene $driver
  "$gnome" key "$dir" Escape || fail "($driver) no key"
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  kill -0 $pid 2>/dev/null && fail "($driver) the show did not end on Escape"
  wait $pid
  ended=$?
  ((ended == 0)) || fail "($driver) ended with $ended: $(cat "$dir/show.log")"
  [[ -s $dir/show.log ]] && fail "($driver) the show printed: $(cat "$dir/show.log")"
done
exit 0
