#!/usr/bin/env bash
# Builds the Windows x64 package on this Debian machine and, with "test",
# runs the Windows build's unit tests through Wine.
#   scripts/windows-build.sh [test]
# The package: build-windows/show/ (quarvelin.exe and its data files) and
# build-windows/quarvelin-windows-x64.zip. SDL2 and libxmp are cross-built
# once into .cache/windows-x64 (scripts/windows-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
with_tests=OFF
[[ ${1:-} == test ]] && with_tests=ON

scripts/windows-deps.sh

# The build runs its own tools (the content generator, the icon writer)
# through Wine, in a prefix kept for builds and unit tests.
export WINEPREFIX=$PWD/.cache/windows-x64/wine-build
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
stop_wine # a server left over from an earlier run
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  started=$SECONDS
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  echo "Wine prefix for builds created in $((SECONDS - started)) s"
fi
# One server, with Wine's own services, for all the build's and tests' Wine
# runs. The services are started here with their output going nowhere:
# started by a build step, they would keep its output pipe open and the
# build would wait for them for ever.
wineserver -p
wineboot </dev/null >/dev/null 2>&1

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQUARVELIN_TESTS=$with_tests -DQUARVELIN_BENCH=OFF >/dev/null
cmake --build build-windows
if [[ $with_tests == ON ]]; then
  ctest --test-dir build-windows --output-on-failure --timeout 600
fi
echo "Windows package: $PWD/build-windows/quarvelin-windows-x64.zip (unpacked: build-windows/show/)"
