#!/usr/bin/env bash
# Cross-builds SDL2 and libxmp as static Windows x64 libraries from Debian's
# own source packages, with the MinGW-w64 -posix compilers, into
#   .cache/windows-x64/prefix      (headers, libraries, CMake and pkg-config files)
# A later run with the prefix already complete does nothing.
# Needs: dpkg-dev, cmake, ninja-build, g++-mingw-w64-x86-64-posix, and a
# deb-src line for the archive (added here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

cache=$PWD/.cache/windows-x64
prefix=$cache/prefix
stamp=$prefix/.complete
if [[ -f $stamp ]]; then
  exit 0
fi

scripts/debian-sources.sh

mkdir -p "$cache" "$prefix"
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
jobs=${QUARVELIN_JOBS:-2}
triple=x86_64-w64-mingw32

# Debian's sources with Debian's patches applied, fetched once.
if [[ ! -d $cache/src ]]; then
  rm -rf "$cache/src.partial"
  mkdir -p "$cache/src.partial"
  (cd "$cache/src.partial" && apt-get source -qq libsdl2 libxmp >/dev/null)
  mv "$cache/src.partial" "$cache/src"
fi
cd "$cache/src"

# SDL2: video, events, audio, timers, threads and the Direct3D and software
# renderers are what the show uses; the rest stays out. Its source paths
# (in its assertions' messages) are kept relative, so that the program built
# on them is the same whatever folder the clone is in.
if [[ ! -f $prefix/.sdl2 ]]; then
  sdl=$(find . -maxdepth 1 -type d -name 'libsdl2-*' | head -1)
  rm -rf build-sdl2
  cmake -S "$sdl" -B build-sdl2 -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$cache/src/=" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
    -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILESYSTEM=OFF -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF \
    -DSDL_RENDER_D3D=ON -DSDL_DIRECTX=ON -DSDL_OPENGL=ON -DSDL_DISKAUDIO=ON -DSDL_DUMMYAUDIO=ON \
    -DSDL_DUMMYVIDEO=ON -DSDL_OFFSCREEN=ON >/dev/null
  cmake --build build-sdl2 -j "$jobs" >/dev/null
  cmake --install build-sdl2 >/dev/null
  touch "$prefix/.sdl2"
fi

# libxmp: static, built by its own configure script.
if [[ ! -f $prefix/.xmp ]]; then
  xmp=$(find . -maxdepth 1 -type d -name 'libxmp-*' | head -1)
  (cd "$xmp" &&
    ./configure -q --host=$triple CC=$triple-gcc-posix AR=$triple-gcc-ar-posix \
      RANLIB=$triple-gcc-ranlib-posix --prefix="$prefix" --enable-static --disable-shared \
      >/dev/null &&
    make -s -j "$jobs" >/dev/null && make -s install >/dev/null)
  touch "$prefix/.xmp"
fi

touch "$stamp"
echo "Windows x64 libraries built into $prefix"
