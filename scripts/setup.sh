#!/usr/bin/env bash
# Sets up a Debian machine for the show, builds it, then runs it or its tests.
#   scripts/setup.sh run    install what is missing, build, run the show
#   scripts/setup.sh test   install what is missing, build, run every test
#                           (the Windows package's under Wine and the web site's in Chromium,
#                           Firefox and WebKit included)
#   scripts/setup.sh windows  install what is missing, build the Windows x64 package
#   scripts/setup.sh web    install what is missing, build the web site
#   scripts/setup.sh release  install what is missing, build everything, write the release
#                           into dist/ (scripts/release.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-}
if [[ $what != run && $what != test && $what != windows && $what != web && $what != release ]]; then
  echo "usage: scripts/setup.sh run|test|windows|web|release" >&2
  exit 2
fi

# Building and running the show, and its capture tool (FFmpeg's libraries).
packages=(g++ cmake ninja-build pkg-config libsdl2-dev libxmp-dev
          libavcodec-dev libavformat-dev libavutil-dev)
# The Windows package: the MinGW-w64 cross compiler, Debian's sources of SDL2
# and libxmp (dpkg-dev unpacks them), Wine to run the build's own tools.
windows_packages=(g++-mingw-w64-x86-64-posix dpkg-dev xz-utils wine wine64)
if [[ $what == windows ]]; then
  packages=(cmake ninja-build "${windows_packages[@]}")
fi
# Tests, benchmarks, the fuzzer and the checks that look at a real window and listen to real sound.
if [[ $what == test ]]; then
  packages+=(libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-apps x11-utils imagemagick sox
             openmpt123 libopenmpt-dev clang libclang-rt-14-dev "${windows_packages[@]}")
  # Headless Wayland desktops (tests/support/sway.sh; tests/support/gnome.sh, whose
  # keys and screenshots go through D-Bus from Python) and a private sound server
  # (tests/support/sound-server.sh) for the checks on today's Linux desktops.
  packages+=(sway xwayland grim wtype pipewire wireplumber pipewire-pulse pulseaudio-utils dbus
             procps gnome-shell mutter python3-dbus)
fi
# The release: all three builds, Debian's packaging tools (python3 writes
# the zip); its checks: lintian and the desktop entry's and metainfo's validators.
if [[ $what == release || $what == test ]]; then
  packages+=(build-essential debhelper python3 git "${windows_packages[@]}")
fi
if [[ $what == test ]]; then
  packages+=(lintian desktop-file-utils appstream fakeroot)
fi
# The web site: emscripten, Debian's SDL2 and libxmp sources, and for its
# test the browsers driven from node (puppeteer-core from npm; WebKitWebDriver
# for WebKitGTK's MiniBrowser, which plays through GStreamer), a private
# sound server to record what they play, and an X server for MiniBrowser.
if [[ $what == web || $what == test || $what == release ]]; then
  packages+=(emscripten dpkg-dev nodejs)
  # Debian's npm, unless the installed node brings its own.
  command -v npm >/dev/null || packages+=(npm)
fi
if [[ $what == test ]]; then
  # (Xvfb and the sound server are in the test list above.)
  packages+=(chromium firefox-esr webkit2gtk-driver gstreamer1.0-plugins-good dbus-daemon)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=()
  [[ $(id -u) == 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

if [[ $what == run ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARVELIN_TESTS=OFF -DQUARVELIN_BENCH=OFF
  cmake --build build
  cd build/show
  exec ./quarvelin
fi

if [[ $what == windows ]]; then
  exec scripts/windows-build.sh
fi

if [[ $what == release ]]; then
  exec scripts/release.sh
fi

if [[ $what == web ]]; then
  scripts/web.sh
  echo "The site is in build-web/site; serve it with: python3 -m http.server -b 127.0.0.1 -d build-web/site"
  exit 0
fi

# The tests, and the show itself, under the sanitizers first; then the
# Windows package with its unit tests under Wine; then the optimised build
# with every test, the real-window ones included, and the Windows package
# run under Wine; then the web site; last the release made from those builds.
scripts/sanitize.sh
scripts/fuzz.sh 60
scripts/windows-build.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARVELIN_TESTS=ON -DQUARVELIN_BENCH=ON \
  -DQUARVELIN_WINDOWS_BUILD="$PWD/build-windows"
cmake --build build
ctest --test-dir build --output-on-failure --timeout 600 --label-exclude release
# The web site, built and run in Chromium, Firefox and WebKit.
scripts/web.sh test
# The release from the Windows package and the site just built, and its
# checks: the Debian package installed, run and purged, the zip under Wine,
# packing twice giving the same bytes.
scripts/release.sh
ctest --test-dir build --output-on-failure --timeout 900 --label-regex release
