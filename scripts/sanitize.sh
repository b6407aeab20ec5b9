#!/usr/bin/env bash
# Builds the program and the tests with AddressSanitizer + UndefinedBehaviorSanitizer,
# and separately with ThreadSanitizer; runs the tests (all but the real-window
# ones) and then the whole show headless for a while under each.
#   scripts/sanitize.sh [seconds-of-show]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"

for sanitizer in address,undefined thread; do
  build=build-${sanitizer%%,*}
  echo "== $sanitizer: build"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVELIN_SANITIZE="$sanitizer" \
    -DQUARVELIN_BENCH=OFF >/dev/null
  cmake --build "$build"
  echo "== $sanitizer: tests"
  ctest --test-dir "$build" --output-on-failure --timeout 600 -LE e2e
  echo "== $sanitizer: the show, headless, ${seconds} s"
  log=$(mktemp)
  status=0
  (cd "$build/show" &&
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null \
      timeout --preserve-status -s TERM -k 20 "$seconds" ./quarvelin) >"$log" 2>&1 || status=$?
  if [[ $status != 0 || -s $log ]]; then
    cat "$log"
    echo "the show under $sanitizer ended with status $status (0 expected, and no output)"
    exit 1
  fi
  rm -f "$log"
  echo "the show ran ${seconds} s under $sanitizer and ended cleanly"
done
