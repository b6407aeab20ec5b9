#!/usr/bin/env bash
# Checks that the release is reproducible: makes it (scripts/release.sh) in
# two fresh clones of this commit at different paths, then compares every
# artefact byte for byte. Takes as long as two full builds of everything.
#   scripts/release-reproducible.sh [KEEP_DIR]
# The cross-built libraries (.cache) are shared with this checkout: they are
# inputs, like the installed packages. Exit 0 when all are identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=${1:-$(mktemp -d /tmp/quarvelin-reproducible-XXXXXX)}
mkdir -p "$work"
commit=$(git rev-parse HEAD)
# Different paths, different lengths: build paths must not show.
clones=("$work/a" "$work/second/clone-b")
for clone in "${clones[@]}"; do
  rm -rf "$clone"
  git clone -q --no-local "$root" "$clone"
  git -C "$clone" checkout -q "$commit"
  [[ -d $root/.cache ]] && ln -s "$(realpath "$root/.cache")" "$clone/.cache"
done
for clone in "${clones[@]}"; do
  started=$SECONDS
  # No compiler cache: each clone compiles everything itself.
  (cd "$clone" && env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER CCACHE_DISABLE=1 \
    scripts/release.sh) >"$clone.log" 2>&1 || { tail -30 "$clone.log"; exit 1; }
  echo "release in $clone: $((SECONDS - started)) s"
done
differ=0
for file in $(cd "${clones[0]}/dist" && ls); do
  if cmp -s "${clones[0]}/dist/$file" "${clones[1]}/dist/$file"; then
    echo "identical  $(stat -c %s "${clones[0]}/dist/$file")  $file"
  else
    echo "DIFFERENT  $file"
    differ=1
  fi
done
exit $differ
