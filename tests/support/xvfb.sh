# Sourced by the scripts and checks that need a private X server.
# start_xvfb SCREEN starts Xvfb (WIDTHxHEIGHTxDEPTH), sets xvfb_pid and
# exports DISPLAY; it needs $work (a scratch folder). Xvfb picks a free
# display number itself, so parallel runs never collide. stop_xvfb ends it.
# -noreset: by default the server resets when its last client leaves, and a
# client connecting during that reset is refused; a short-lived tool (xwd,
# xdotool) leaving just before the program connects would then make it look
# as if there were no display.
xvfb_pid=

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

stop_xvfb() {
  [[ -n $xvfb_pid ]] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
}

start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
  done
  [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(head -n1 "$work/display")
}
