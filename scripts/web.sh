#!/usr/bin/env bash
# Builds the show's web site into build-web/site, and with "test" runs it in
# Chromium, Firefox and WebKit (tests/system/web).
#   scripts/web.sh        build the site
#   scripts/web.sh test   build the site and run the browser tests
# Needs the packages scripts/setup.sh installs for "web".
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emscripten finds its JavaScript modules (acorn) only here.
export NODE_PATH=/usr/share/nodejs

scripts/web-deps.sh
tests=OFF
[[ ${1:-} == test ]] && tests=ON
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARVELIN_TESTS=$tests >/dev/null
cmake --build build-web -j "${QUARVELIN_JOBS:-2}"

if [[ $tests == ON ]]; then
  # puppeteer-core, exactly as the lock file pins it.
  (cd tests/system/web && npm ci --no-audit --no-fund --loglevel=error)
  ctest --test-dir build-web --output-on-failure --timeout 300
fi
