# Sourced by the private desktops (tests/support/sway.sh, tests/support/gnome.sh): the
# unprivileged user they run as, and their processes in sessions of their own.
# Compositors refuse to run as root: run as root, a desktop makes (once) the
# user quarvelin-wayland and runs the compositor and every client as that
# user; run as another user, as that user. Each desktop lives in its own
# folder, so parallel runs never meet.
USER_NAME=quarvelin-wayland

# use_folder DIR: $dir, the desktop's folder (made if missing, given to the
# user by make_desktop_user), and $runtime, its XDG_RUNTIME_DIR inside.
use_folder() {
  mkdir -p "$1"
  dir=$(cd "$1" && pwd)
  runtime=$dir/runtime
}

# in_desktop CMD...: CMD as the user, in the environment the desktop's own
# environment function prints (NAME=VALUE lines).
in_desktop() {
  local env_lines
  mapfile -t env_lines < <(environment)
  as_user env "${env_lines[@]}" "$@"
}

as_user() {
  if [[ $(id -u) == 0 ]]; then
    setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups --reset-env -- \
      env PATH=/usr/local/bin:/usr/bin:/bin "$@"
  else
    "$@"
  fi
}

# As root: makes the user if it is missing and gives it $dir. Status 1 when
# no user can be made. An X server run by a user makes /tmp/.X11-unix its
# own and not writable by others where it is missing, and mutter then
# refuses to start XWayland: it gets the shared folder's usual form first.
make_desktop_user() {
  [[ $(id -u) == 0 ]] || return 0
  mkdir -p /tmp/.X11-unix && chown root:root /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
  id "$USER_NAME" >/dev/null 2>&1 ||
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
      --shell /usr/sbin/nologin "$USER_NAME" || return 1
  chown "$USER_NAME:" "$dir"
}

# in_background NAME CMD...: CMD (which may begin with as_user) in a session
# of its own, so that stop_background ends its whole process group; its
# output in $dir/NAME.log, its pid in $dir/NAME.pid. It keeps running after
# the calling script.
in_background() {
  local name=$1
  shift
  setsid bash -c "$(declare -f as_user); USER_NAME=$USER_NAME; \"\$@\"" bash "$@" \
    >"$dir/$name.log" 2>&1 </dev/null &
  echo $! >"$dir/$name.pid"
}

# stop_background NAME...: TERM to each one's process group, KILL after 5 s.
stop_background() {
  local name pid
  for name in "$@"; do
    [[ -f $dir/$name.pid ]] || continue
    pid=$(cat "$dir/$name.pid")
    rm -f "$dir/$name.pid"
    kill -TERM -- "-$pid" 2>/dev/null || continue
    for _ in $(seq 50); do
      kill -0 -- "-$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
}
