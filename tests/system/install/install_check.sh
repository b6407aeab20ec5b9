#!/usr/bin/env bash
# Installs the built show into a temporary prefix (with a space in its name),
# checks the installed files, then runs the installed show by its name, and
# the build's own program, from an empty folder on a private Xvfb screen: each
# must show its window, keep running, end with 0 on Escape and print nothing.
# Finally the README's uninstall command must leave no file behind.
#   install_check.sh BUILD_DIR
# Exit 77 (skipped) when Xvfb is not installed.
set -uo pipefail
source "$(dirname "$0")/../../support/xvfb.sh"

build=$(realpath "$1")
work=$(mktemp -d)
prefix="$work/my prefix"
elsewhere="$work/elsewhere"
manifest="$build/install_manifest.txt"
xvfb_pid= show_pid=
cleanup() {
  [[ -n $show_pid ]] && kill -KILL "$show_pid" 2>/dev/null
  stop_xvfb
  # The build's own record of a real install stays as it was.
  if [[ -f $work/manifest ]]; then mv "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap cleanup EXIT
command -v Xvfb >/dev/null || { echo "Xvfb is not installed; skipped"; exit 77; }
for tool in xdotool identify; do
  command -v $tool >/dev/null || fail "$tool is not installed"
done
[[ -f $manifest ]] && cp "$manifest" "$work/manifest"
mkdir -p "$elsewhere"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "install: $(cat "$work/install.log")"
for file in bin/quarvelin bin/quarvelin-cues share/quarvelin/RETRO.XM share/quarvelin/credits.raw \
  share/man/man6/quarvelin.6 share/man/man6/quarvelin-cues.6 share/metainfo/org.quarvelin.Quarvelin.metainfo.xml \
  share/doc/quarvelin/LICENSE; do
  [[ -s $prefix/$file ]] || fail "$file is not installed"
done
for size in 16 32; do
  found=$(identify -format %wx%h "$prefix/share/icons/hicolor/${size}x${size}/apps/quarvelin.png" 2>&1)
  [[ $found == "${size}x${size}" ]] || fail "the ${size}x${size} icon reads as: $found"
done
desktop="$prefix/share/applications/quarvelin.desktop"
grep -qxF "Path=$prefix/share/quarvelin" "$desktop" || fail "the desktop entry's Path: $(grep Path= "$desktop")"
grep -qxF "Exec=\"$prefix/bin/quarvelin\"" "$desktop" || fail "the desktop entry's Exec: $(grep Exec= "$desktop")"

unset WAYLAND_DISPLAY SDL_VIDEODRIVER XDG_SESSION_TYPE
start_xvfb 640x480x24

# run_from_elsewhere NAME PROGRAM [PATH]: the show started in the empty folder.
run_from_elsewhere() {
  local name=$1 program=$2 path=${3:-$PATH}
  (cd "$elsewhere" && PATH=$path SDL_AUDIODRIVER=dummy exec "$program") >"$work/out" 2>&1 &
  show_pid=$!
  timeout 10 xdotool search --sync --name '^QUARVELIN$' >/dev/null 2>&1 ||
    fail "$name: no window: $(cat "$work/out")"
  sleep 2
  kill -0 "$show_pid" 2>/dev/null || fail "$name: the show ended by itself: $(cat "$work/out")"
  xdotool key Escape
  timeout 20 tail --pid="$show_pid" -f /dev/null || fail "$name: the show did not end after Escape"
  wait "$show_pid"
  local status=$?
  show_pid=
  [[ $status == 0 ]] || fail "$name: ended with $status after Escape, expected 0"
  [[ ! -s $work/out ]] || fail "$name: printed: $(cat "$work/out")"
}
run_from_elsewhere "installed, by name" quarvelin "$prefix/bin:$PATH"
run_from_elsewhere "the build's program" "$build/show/quarvelin"

xargs -d '\n' rm -f <"$manifest" || fail "uninstall failed"
left=$(find "$prefix" -type f)
[[ -z $left ]] || fail "uninstalling left: $left"
exit 0
