#!/usr/bin/env bash
# Runs the real display (display_probe) on a private Xvfb screen, checks what
# it shows against the test frame, then ends it and checks it ends with 0.
#   xvfb_display_check.sh BIN_DIR WIDTHxHEIGHTxDEPTH CONVERTER SCALE LEFT TOP END [sound]
# END: escape (the Escape key), close (a WM_DELETE_WINDOW request), sigterm,
# or server_lost (Xvfb is killed: the probe ends with 1, silently). With
# "sound" the probe also plays an audio device (SDL's dummy audio driver)
# whose thread is busy while the process ends. With SCREEN "none" there is no display at all and the probe must
# fail to open with status 1 (SCREEN "none" PROGRAM: that program instead of
# the probe). Exit 77 (skipped) when Xvfb is not installed.
set -uo pipefail
source "$(dirname "$0")/../../support/xvfb.sh"

bin=$1 screen=$2 converter=${3:-} scale=${4:-1} left=${5:-0} top=${6:-0} end=${7:-escape}
sound=${8:-}
work=$(mktemp -d)
xvfb_pid= probe_pid=
cleanup() {
  [[ -n $probe_pid ]] && kill -KILL "$probe_pid" 2>/dev/null
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
unset WAYLAND_DISPLAY SDL_VIDEODRIVER XDG_SESSION_TYPE
# For a probe built with ThreadSanitizer: Mesa's own threads are not ours.
export TSAN_OPTIONS="${TSAN_OPTIONS:-} suppressions=$(cd "$(dirname "$0")/../../.." && pwd)/scripts/tsan.supp"

# No display server: opening fails, the probe ends with 1 and says nothing.
if [[ $screen == none ]]; then
  program=${3:-$bin/display_probe}
  (cd "$work" && env -u DISPLAY -u XDG_RUNTIME_DIR "$program" >"$work/out" 2>"$work/err")
  status=$?
  [[ $status == 1 ]] || fail "without a display $program ended with $status, expected 1"
  [[ ! -s $work/out && ! -s $work/err ]] || fail "$program printed: $(cat "$work/out" "$work/err")"
  exit 0
fi

command -v Xvfb >/dev/null || { echo "Xvfb is not installed; skipped"; exit 77; }
for tool in xdotool xwd xprop; do
  command -v $tool >/dev/null || fail "$tool is not installed"
done

start_xvfb "$screen"

SDL_AUDIODRIVER=dummy "$bin/display_probe" $sound >"$work/out" 2>"$work/err" &
probe_pid=$!

# The window and its first frames take a moment; compare until one matches.
matched=
for _ in $(seq 120); do
  if ! kill -0 "$probe_pid" 2>/dev/null; then
    wait "$probe_pid"
    status=$?
    probe_pid=
    fail "the probe ended with $status before showing the frame: $(cat "$work/err")"
  fi
  xwd -root -silent >"$work/screen.xwd" || fail "xwd failed"
  if "$bin/xwd_compare" "$work/screen.xwd" "$converter" "$scale" "$left" "$top" 2>"$work/compare"; then
    matched=1
    break
  fi
  sleep 0.25
done
[[ -n $matched ]] || fail "the screen does not show the frame: $(cat "$work/compare")"
# Frames are shown, so the window is complete: it carries our icon.
xprop -name QUARVELIN _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "the window has no 32 x 32 icon"

case $end in
  escape) xdotool key Escape ;;
  close) "$bin/send_close_request" QUARVELIN || fail "no close request could be sent" ;;
  sigterm) kill -TERM "$probe_pid" ;;
  server_lost)
    kill -KILL "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    expected_status=1
    ;;
  *) fail "unknown way to end: $end" ;;
esac

for _ in $(seq 200); do
  kill -0 "$probe_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$probe_pid" 2>/dev/null && fail "the probe did not end after $end"
wait "$probe_pid"
status=$?
probe_pid=
[[ $status == "${expected_status:-0}" ]] ||
  fail "the probe ended with $status after $end, expected ${expected_status:-0}: $(cat "$work/err")"
[[ ! -s $work/out && ! -s $work/err ]] || fail "the probe printed: $(cat "$work/out" "$work/err")"
if [[ -n $xvfb_pid ]]; then
  xdotool search --name '^QUARVELIN$' >/dev/null && fail "the window is still there"
fi
exit 0
