#!/usr/bin/env bash
# Runs COMMAND with what the browser checks need around a browser: a private
# sound server with a null sink (sound-server.sh; its folder in
# QUARVELIN_SOUND_DIR, for recording its monitor) and a private X server
# (xvfb.sh), which MiniBrowser needs; both end with the command.
#   browser-env.sh COMMAND [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quarvelin-browser.XXXXXX")
source "$here/xvfb.sh"
cleanup() {
  "$here/sound-server.sh" stop "$work/sound" || true
  stop_xvfb || true
  rm -rf "$work"
}
trap cleanup EXIT
sound_env=$("$here/sound-server.sh" start "$work/sound")
while IFS= read -r line; do export "${line?}"; done <<<"$sound_env"
export QUARVELIN_SOUND_DIR=$work/sound
start_xvfb 1024x768x24
"$@"
