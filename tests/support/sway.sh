#!/usr/bin/env bash
# A private Wayland desktop for tests that look at a real window: sway on its
# headless backend (software rendering, no input devices), with XWayland for
# X11 programs and a virtual keyboard on its seat, so that windows get the
# keyboard focus. Sway refuses to run as root: run as root, the script makes
# (once) the unprivileged user quarvelin-wayland and runs sway and every
# client as that user; run as another user, as that user. Everything lives in
# DIR (given to the user), so parallel runs with different folders never meet.
#   sway.sh start DIR        start (screen 640 x 480); prints the environment a
#                            client needs, one NAME=VALUE a line
#   sway.sh run DIR CMD...   runs CMD as the desktop's user, in its environment
#   sway.sh key DIR KEY      presses and releases KEY (an XKB key name)
#   sway.sh stop DIR         stop the desktop
# Exit status 77 from start: no sway here, or no way to become a user it accepts.
set -euo pipefail

USER_NAME=quarvelin-wayland
what=${1:-}
dir=${2:-}
if [[ -z $what || -z $dir ]]; then
  echo "usage: sway.sh start|run|key|stop DIR [CMD...]" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
runtime=$dir/runtime

as_user() {
  if [[ $(id -u) == 0 ]]; then
    setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups --reset-env -- \
      env PATH=/usr/local/bin:/usr/bin:/bin "$@"
  else
    "$@"
  fi
}

environment() {
  echo "XDG_RUNTIME_DIR=$runtime"
  echo "WAYLAND_DISPLAY=wayland-1" # the first socket sway makes; the folder is its own
  echo "SWAYSOCK=$runtime/sway.sock"
  [[ -f $dir/x-display ]] && echo "DISPLAY=$(cat "$dir/x-display")"
  return 0
}

stop_desktop() {
  local name pid
  for name in keyboard sway; do
    [[ -f $dir/$name.pid ]] || continue
    pid=$(cat "$dir/$name.pid")
    rm -f "$dir/$name.pid"
    # Each runs in a session of its own: its whole process group goes.
    kill -TERM -- "-$pid" 2>/dev/null || continue
    for _ in $(seq 50); do
      kill -0 -- "-$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  rm -rf "$runtime" "$dir/x-display"
}

start_desktop() {
  command -v sway >/dev/null && command -v Xwayland >/dev/null || exit 77
  if [[ $(id -u) == 0 ]]; then
    id "$USER_NAME" >/dev/null 2>&1 ||
      useradd --system --user-group --no-create-home --home-dir /nonexistent \
        --shell /usr/sbin/nologin "$USER_NAME" || exit 77
    chown "$USER_NAME:" "$dir"
  fi
  as_user mkdir -p "$runtime"
  chmod 700 "$runtime"
  cat >"$dir/config" <<EOF
output HEADLESS-1 mode 640x480 position 0 0
xwayland enable
exec echo \$DISPLAY > $dir/x-display
EOF
  # The compositor and the keyboard keep running after this script: their
  # own session, their output in DIR.
  setsid bash -c "$(declare -f as_user); USER_NAME=$USER_NAME; as_user env XDG_RUNTIME_DIR=$runtime \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway --config $dir/config" >"$dir/sway.log" 2>&1 </dev/null &
  echo $! >"$dir/sway.pid"
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
  setsid bash -c "$(declare -f as_user); USER_NAME=$USER_NAME; as_user env XDG_RUNTIME_DIR=$runtime \
    WAYLAND_DISPLAY=wayland-1 wtype -s 100000000 -k Shift_L" >"$dir/keyboard.log" 2>&1 \
    </dev/null &
  echo $! >"$dir/keyboard.pid"
  sleep 0.5
}

stop_keyboard() {
  local pid
  pid=$(cat "$dir/keyboard.pid" 2>/dev/null) || return 0
  rm -f "$dir/keyboard.pid"
  kill -TERM -- "-$pid" 2>/dev/null || true
  sleep 0.3
}

case $what in
start)
  stop_desktop
  start_desktop
  ;;
run)
  shift 2
  mapfile -t env_lines < <(environment)
  as_user env "${env_lines[@]}" "$@"
  ;;
key)
  # SDL 2.26's Wayland keyboard crashes when a second keyboard takes over
  # the seat from the first while its window has the focus, so the key is
  # pressed by a keyboard that is alone on the seat (the window gets the
  # focus again, then the key, a second later).
  stop_keyboard
  "$0" run "$dir" wtype -s 1000 -k "$3"
  start_keyboard
  ;;
stop)
  stop_desktop
  ;;
*)
  echo "usage: sway.sh start|run|key|stop DIR [CMD...]" >&2
  exit 2
  ;;
esac
