#!/usr/bin/env bash
# Builds SDL2 and libxmp as static WebAssembly libraries from Debian's own
# source packages, with Debian's emscripten, into
#   .cache/web/prefix    (headers, libraries, CMake and pkg-config files)
# A later run does nothing while the prefix is complete and was built by this
# same script.
# Needs: dpkg-dev, cmake, ninja-build, emscripten, and a deb-src line for the
# archive (added here when missing).
set -euo pipefail
recipe=$(sha256sum "$0" | cut -d' ' -f1)
cd "$(dirname "$0")/.."

cache=$PWD/.cache/web
prefix=$cache/prefix
stamp=$prefix/.complete
# Debian's emscripten finds its JavaScript modules (acorn) only here.
export NODE_PATH=/usr/share/nodejs
if [[ -f $stamp && $(cat "$stamp") == "$recipe" ]]; then
  exit 0
fi

scripts/debian-sources.sh

rm -rf "$cache/src" "$prefix"
mkdir -p "$cache/src" "$prefix"
cd "$cache/src"
# Debian's sources with Debian's patches applied.
apt-get source -qq libsdl2 libxmp >/dev/null 2>&1 || apt-get source libsdl2 libxmp

jobs=${QUARVELIN_JOBS:-2}
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")

# SDL2: video, events, audio and timers with the software renderer drawing
# into a 2D canvas; no threads, no OpenGL ES, nothing else.
sdl=$(find . -maxdepth 1 -type d -name 'libsdl2-*' | head -1)
emcmake cmake -S "$sdl" -B build-sdl2 "${common[@]}" \
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
  -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF \
  -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
  -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOADSO=OFF -DSDL_CPUINFO=OFF \
  -DSDL_DISKAUDIO=OFF -DSDL_DUMMYAUDIO=OFF -DSDL_DUMMYVIDEO=OFF -DSDL_OFFSCREEN=OFF >/dev/null
cmake --build build-sdl2 -j "$jobs" >/dev/null
cmake --install build-sdl2 >/dev/null

# libxmp: the player alone (no depackers, no ProWizard), static.
xmp=$(find . -maxdepth 1 -type d -name 'libxmp-*' | head -1)
(cd "$xmp" &&
  emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$prefix" --enable-static --disable-shared \
    --disable-depackers --disable-prowizard >/dev/null &&
  emmake make -j "$jobs" >/dev/null && emmake make install >/dev/null)

echo "$recipe" >"$stamp"
echo "WebAssembly libraries built into $prefix"
