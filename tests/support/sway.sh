#!/usr/bin/env bash
# A private Wayland desktop for tests that look at a real window: sway on its
# headless backend (software rendering, no input devices), with XWayland for
# X11 programs and a virtual keyboard on its seat, so that windows get the
# keyboard focus. It runs as the unprivileged user of tests/support/desktop.sh.
# Everything lives in DIR (given to the user), so parallel runs with
# different folders never meet.
#   sway.sh start DIR [MODE] start (screen MODE, WxH or WxH@RHz; default
#                            640x480); prints the environment a client needs,
#                            one NAME=VALUE a line
#   sway.sh mode DIR MODE    gives the running desktop's screen another mode
#                            (the headless backend keeps whole milliseconds
#                            per frame: 60 Hz comes as 62.5 frames a second)
#   sway.sh run DIR CMD...   runs CMD as the desktop's user, in its environment
#   sway.sh key DIR KEY      presses and releases KEY (an XKB key name)
#   sway.sh stop DIR         stop the desktop
# Exit status 77 from start: no sway here, or no way to become a user it accepts.
set -euo pipefail

source "$(dirname "$0")/desktop.sh"
what=${1:-}
dir=${2:-}
if [[ -z $what || -z $dir ]]; then
  echo "usage: sway.sh start|run|key|mode|stop DIR [CMD...]" >&2
  exit 2
fi
use_folder "$dir"

environment() {
  echo "XDG_RUNTIME_DIR=$runtime"
  echo "WAYLAND_DISPLAY=wayland-1" # the first socket sway makes; the folder is its own
  echo "SWAYSOCK=$runtime/sway.sock"
  [[ -f $dir/x-display ]] && echo "DISPLAY=$(cat "$dir/x-display")"
  return 0
}

stop_desktop() {
  stop_background keyboard sway
  rm -rf "$runtime" "$dir/x-display"
}

# A mode as sway's output command takes it: WxH, or a custom WxH@RHz.
mode_argument() {
  if [[ $1 == *@* ]]; then echo "--custom ${1%Hz}Hz"; else echo "$1"; fi
}

start_desktop() {
  command -v sway >/dev/null && command -v Xwayland >/dev/null || exit 77
  make_desktop_user || exit 77
  as_user mkdir -p "$runtime"
  chmod 700 "$runtime"
  cat >"$dir/config" <<EOF
output HEADLESS-1 mode $(mode_argument "$1") position 0 0
xwayland enable
exec echo \$DISPLAY > $dir/x-display
EOF
  # The compositor and the keyboard keep running after this script: their
  # own session, their output in DIR.
  in_background sway as_user env XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway --config "$dir/config"
  for _ in $(seq 100); do
    [[ -S $runtime/wayland-1 && -s $dir/x-display ]] && break
    sleep 0.1
  done
  if [[ ! -s $dir/x-display ]]; then
    echo "sway in $dir did not start: $(tail -n 5 "$dir/sway.log")" >&2
    stop_desktop
    exit 1
  fi
  # sway's IPC socket at a known place, for swaymsg.
  ln -sf "$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n 1)" "$runtime/sway.sock"
  start_keyboard
  environment
}

# A virtual keyboard that stays on the seat: without one nothing has the
# keyboard focus. It holds no key down.
start_keyboard() {
  in_background keyboard as_user env XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-1 \
    wtype -s 100000000 -k Shift_L
  sleep 0.5
}

case $what in
start)
  stop_desktop
  start_desktop "${3:-640x480}"
  ;;
mode)
  "$0" run "$dir" swaymsg -- output HEADLESS-1 mode $(mode_argument "$3") >/dev/null
  ;;
run)
  shift 2
  in_desktop "$@"
  ;;
key)
  # SDL 2.26's Wayland keyboard crashes when a second keyboard takes over
  # the seat from the first while its window has the focus, so the key is
  # pressed by a keyboard that is alone on the seat (the window gets the
  # focus again, then the key, a second later).
  stop_background keyboard
  sleep 0.3
  "$0" run "$dir" wtype -s 1000 -k "$3"
  start_keyboard
  ;;
stop)
  stop_desktop
  ;;
*)
  echo "usage: sway.sh start|run|key|mode|stop DIR [CMD...]" >&2
  exit 2
  ;;
esac
