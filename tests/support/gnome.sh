#!/usr/bin/env bash
# A private GNOME desktop for tests that look at a real window: GNOME Shell
# headless on one virtual monitor (software rendering), with XWayland started
# when an X11 program connects, and a keyboard on its seat through mutter's
# remote desktop (tests/support/gnome-remote.py, which also takes the screenshots).
# It runs as the unprivileged user of tests/support/desktop.sh, on a session bus of
# its own, and everything lives in DIR, so parallel runs never meet.
#   gnome.sh start DIR [MODE]  start (screen MODE: WxH@RHz as sway.sh takes it,
#                              or a rate alone for 1280 x 720; default
#                              1280x720@60Hz); prints the environment a
#                              client needs, one NAME=VALUE a line
#   gnome.sh run DIR CMD...    runs CMD as the desktop's user, in its environment
#   gnome.sh key DIR KEYSYM    presses and releases KEYSYM (an X keysym name)
#   gnome.sh screenshot DIR FILE  the whole screen into FILE (PNG)
#   gnome.sh stop DIR          stop the desktop
# Exit status 77 from start: no GNOME Shell here, or no way to run it (a
# machine whose systemd folders name seats that no logind serves, run
# other than as root).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
what=${1:-}
dir=${2:-}
usage() {
  echo "usage: gnome.sh start DIR [MODE] | run DIR CMD... | key DIR KEYSYM | screenshot DIR FILE | stop DIR" >&2
  exit 2
}
[[ -n $what && -n $dir ]] || usage
use_folder "$dir"

environment() {
  echo "XDG_RUNTIME_DIR=$runtime"
  echo "WAYLAND_DISPLAY=wayland-0" # the first socket mutter makes; the folder is its own
  echo "DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/bus"
  [[ -s $dir/x-display ]] && echo "DISPLAY=$(cat "$dir/x-display")"
  # XWayland lets in the clients that hold the cookie mutter wrote.
  local cookie
  cookie=$(ls "$runtime"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1)
  [[ -n $cookie ]] && echo "XAUTHORITY=$cookie"
  return 0
}

# system_bus_has NAME: the system bus answers and NAME is on it.
system_bus_has() {
  timeout 5 dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetNameOwner "string:$1" >/dev/null 2>&1
}

# The shell starts its input method daemon (ibus-daemon) by forking and
# running script code in the child before the program starts. With the
# shell's other threads running, that child now and then deadlocks on a lock
# it inherited, and the shell waits for its exec forever. A child of the
# shell still named gnome-shell, waiting on a lock for 3 s or more, is such
# a child: ended, it lets the shell go on (as if the daemon had started;
# none is installed).
release_stuck_child() {
  local pid parent age
  for pid in $(pgrep -s "$(cat "$dir/shell.pid")" -x gnome-shell); do
    parent=$(awk '{print $4}' "/proc/$pid/stat" 2>/dev/null) || continue
    age=$(ps -o etimes= -p "$pid") || continue
    [[ $(cat "/proc/$parent/comm" 2>/dev/null) == gnome-shell &&
      $(cat "/proc/$pid/wchan" 2>/dev/null) == futex* ]] && ((age >= 3)) || continue
    echo "gnome.sh: ended the shell's stuck child $pid" >>"$dir/shell.log"
    kill -KILL "$pid" 2>/dev/null || true
  done
}

stop_desktop() {
  stop_background remote shell
  rm -rf "$runtime" "$dir/x-display"
}

start_desktop() {
  local mode=${1%Hz} private_run=() private_systemd=no system_bus=
  [[ $mode == *@* ]] || mode=1280x720@$mode
  [[ $mode =~ ^[0-9]+x[0-9]+@[0-9]+([.][0-9]+)?$ ]] || usage
  command -v gnome-shell >/dev/null && command -v Xwayland >/dev/null &&
    command -v dbus-daemon >/dev/null && /usr/bin/python3 -c 'import dbus' 2>/dev/null || exit 77
  # Where systemd's folders name seats but no logind answers, the shell runs
  # in a private mount namespace with /run/systemd empty, so that it takes
  # its path for machines without logind instead of looking for a session.
  if [[ -d /run/systemd/seats ]] && ! system_bus_has org.freedesktop.login1; then
    [[ $(id -u) == 0 ]] || exit 77
    private_run=(unshare -m --)
    private_systemd=yes
  fi
  # The shell needs a system bus; where none runs, a private one stands in.
  system_bus_has org.freedesktop.DBus || system_bus=$runtime/system-bus
  make_desktop_user || exit 77
  as_user mkdir -p "$runtime" "$dir/home"
  chmod 700 "$runtime"
  in_background shell "${private_run[@]}" "$here/gnome.sh" session "$dir" "$mode" \
    "$private_systemd" "$system_bus"
  for _ in $(seq 600); do
    grep -q 'GNOME Shell started' "$dir/shell.log" && [[ -S $runtime/wayland-0 ]] && break
    kill -0 "$(cat "$dir/shell.pid")" 2>/dev/null || break
    release_stuck_child
    sleep 0.1
  done
  sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$dir/shell.log" | head -n 1 >"$dir/x-display"
  if [[ -s $dir/x-display ]]; then
    # A copy the user can read wherever this checkout is.
    cp "$here/gnome-remote.py" "$runtime/" && chmod a+r "$runtime/gnome-remote.py"
    in_background remote as_user /usr/bin/python3 "$runtime/gnome-remote.py" serve \
      "unix:path=$runtime/bus" "$runtime/remote.sock"
    for _ in $(seq 600); do
      grep -q '^ready' "$dir/remote.log" && break
      kill -0 "$(cat "$dir/remote.pid")" 2>/dev/null || break
      sleep 0.1
    done
  fi
  if ! grep -q '^ready' "$dir/remote.log" 2>/dev/null; then
    echo "GNOME Shell in $dir did not start: $(tail -n 5 "$dir/shell.log" "$dir/remote.log" 2>/dev/null)" >&2
    stop_desktop
    exit 1
  fi
  environment
}

# In the shell's own session (and mount namespace where it needs one): the
# buses, then the shell, as the desktop's user.
session() {
  local mode=$1 private_systemd=$2 system_bus=$3
  if [[ $private_systemd == yes ]]; then mount -t tmpfs tmpfs /run/systemd || exit 1; fi
  # shellcheck disable=SC2016 # expanded by the user's shell
  as_user env HOME="$dir/home" XDG_RUNTIME_DIR="$runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" SYSTEM_BUS="$system_bus" \
    bash -c '
      bus() { # bus SOCKET: a bus of its own, ready before the shell looks
        dbus-daemon --session --nofork --address="unix:path=$1" --print-address=3 3>"$1.ready" &
        for _ in $(seq 100); do [[ -s $1.ready ]] && break; sleep 0.1; done
      }
      cd "$HOME"
      bus "${DBUS_SESSION_BUS_ADDRESS#unix:path=}"
      if [[ -n $SYSTEM_BUS ]]; then
        bus "$SYSTEM_BUS"
        export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$SYSTEM_BUS
      fi
      exec gnome-shell --headless --wayland --virtual-monitor "$0"' "$mode"
}

case $what in
start)
  stop_desktop
  start_desktop "${3:-1280x720@60Hz}"
  ;;
session)
  session "$3" "$4" "${5:-}"
  ;;
run)
  shift 2
  in_desktop "$@"
  ;;
key)
  [[ -n ${3:-} ]] || usage
  /usr/bin/python3 "$here/gnome-remote.py" send "$runtime/remote.sock" key "$3"
  ;;
screenshot)
  [[ -n ${3:-} ]] || usage
  # The shell writes the picture as the desktop's user, into its folder.
  /usr/bin/python3 "$here/gnome-remote.py" send "$runtime/remote.sock" shot "$runtime/shot.png"
  cat "$runtime/shot.png" >"$3"
  rm -f "$runtime/shot.png"
  ;;
stop)
  stop_desktop
  ;;
*)
  usage
  ;;
esac
