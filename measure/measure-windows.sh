#!/usr/bin/env bash
# Runs the Windows package under Wine on a private Xvfb screen (640 x 480 x 24)
# with each of SDL's Direct3D and software renderers and reports: the zip's
# size, how long a new Wine prefix takes, the time from start to the first
# frame on the screen, and the CPU share while frames are shown (the show's
# own process; all of the prefix's Wine processes; the X server).
#   measure/measure-windows.sh [windows-build-folder] [seconds]
source "$(dirname "$0")/measure.sh"
build=$(realpath "${1:-build-windows}")
seconds=${2:-20}
zip=$build/quarvelin-windows-x64.zip
work=$(mktemp -d)
xvfb_pid= show_pid=
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
cleanup() {
  set +e # everything is cleaned up, whatever fails
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  for prefix in "$work"/prefix-*; do
    [[ -d $prefix ]] && WINEPREFIX=$prefix wineserver -k 2>/dev/null
  done
  [[ -n $xvfb_pid ]] && kill -TERM "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

printf 'zip size:              %s bytes (%s)\n' "$(stat -c %s "$zip")" "$(du -h "$zip" | cut -f1)"
(cd "$work" && cmake -E tar xf "$zip")

start_xvfb 640x480x24
display=$DISPLAY

now() { date +%s.%N; }
prefix_processes() { # every process whose environment names this prefix
  grep -lzx "WINEPREFIX=$1" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3
}
screen_shows_something() {
  [[ $(DISPLAY=$display xwd -root -silent | convert xwd:- -format '%[fx:maxima>0]' info:) == 1 ]]
}
hz=$(getconf CLK_TCK)

for renderer in direct3d software; do
  prefix=$work/prefix-$renderer
  started=$(now)
  WINEPREFIX=$prefix env -u DISPLAY wineboot -i >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -k
  WINEPREFIX=$prefix wineserver -w
  awk -v a="$started" -v b="$(now)" 'BEGIN {printf "new Wine prefix:       %.1f s\n", b - a}'

  started=$(now)
  (cd "$work/quarvelin" && exec env WINEPREFIX="$prefix" DISPLAY="$display" SDL_RENDER_DRIVER=$renderer \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null wine quarvelin.exe >/dev/null 2>&1) &
  show_pid=$!
  first=
  for _ in $(seq 600); do
    if screen_shows_something; then first=$(now); break; fi
    sleep 0.05
  done
  if [[ -z $first ]]; then echo "$renderer: no frame within 30 s"; continue; fi
  sleep 2 # past start-up
  mapfile -t wine_pids < <(prefix_processes "$prefix")
  show0=$(cpu_ticks "$show_pid") all0=$(cpu_ticks "${wine_pids[@]}") x0=$(cpu_ticks "$xvfb_pid") t0=$(now)
  sleep "$seconds"
  show1=$(cpu_ticks "$show_pid") all1=$(cpu_ticks "${wine_pids[@]}") x1=$(cpu_ticks "$xvfb_pid") t1=$(now)
  DISPLAY=$display xdotool key Escape
  status=0
  wait "$show_pid" || status=$?
  show_pid=
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  awk -v r="$renderer" -v a="$started" -v f="$first" -v s0="$show0" -v s1="$show1" -v w0="$all0" \
    -v w1="$all1" -v x0="$x0" -v x1="$x1" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v st="$status" 'BEGIN {
      wall = (t1 - t0) * hz
      printf "%-9s first frame: %.1f s after start\n", r, f - a
      printf "%-9s cpu share:   show %.1f %%, all Wine processes %.1f %%, Xvfb %.1f %% of one core\n",
             r, 100 * (s1 - s0) / wall, 100 * (w1 - w0) / wall, 100 * (x1 - x0) / wall
      printf "%-9s exit status: %d\n", r, st }'
done
