# Sourced by the scripts and checks that need a private X server.
# start_xvfb SCREEN starts Xvfb (WIDTHxHEIGHTxDEPTH), sets xvfb_pid and
# exports DISPLAY; it needs $work (a scratch folder) and a `fail` function.
# Xvfb picks a free display number itself, so parallel runs never collide.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.1
  done
  [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(head -n1 "$work/display")
}
