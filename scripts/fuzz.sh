#!/usr/bin/env bash
# Builds the song fuzzer with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/, replays the committed
# regression corpus (tests/unit/music/fuzz/corpus), then fuzzes for a while from it, the
# songs the tests make and whatever corpus earlier runs kept. Fails on any
# crash, sanitizer report, leak, or input taking longer than 10 s; an input
# that fails is copied into tests/unit/music/fuzz/corpus, to be committed with its fix.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARVELIN_FUZZ=ON -DQUARVELIN_SANITIZE=address,undefined,fuzzer-no-link -DQUARVELIN_BENCH=OFF \
  >/dev/null
cmake --build "$build" --target quarvelin-fuzz-song quarvelin-fuzz-seeds
mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts"
"$build/tests/unit/music/fuzz/quarvelin-fuzz-seeds" "$build/fuzz-seeds"
echo "== replaying the regression corpus"
"$build/tests/unit/music/fuzz/quarvelin-fuzz-song" -timeout=10 -rss_limit_mb=2048 tests/unit/music/fuzz/corpus/* \
  >"$build/replay.log" 2>&1 || { tail -n 60 "$build/replay.log"; echo "a regression input fails"; exit 1; }
echo "== fuzzing the song layer for ${seconds} s"
log="$build/fuzz.log"
status=0
"$build/tests/unit/music/fuzz/quarvelin-fuzz-song" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/" \
  "$build/fuzz-corpus" "$build/fuzz-seeds" tests/unit/music/fuzz/corpus >"$log" 2>&1 || status=$?
grep -E '^(stat::|==[0-9]+==|SUMMARY|Done |INFO: Seed|.*ERROR)' "$log" | tail -n 30 || true
if [[ $status != 0 ]]; then
  tail -n 60 "$log"
  for input in "$build"/fuzz-artifacts/*; do
    [[ -f $input ]] && cp "$input" "tests/unit/music/fuzz/corpus/$(basename "$input")"
  done
  echo "the song fuzzer failed (status $status); its inputs are now in tests/unit/music/fuzz/corpus/"
  exit 1
fi
echo "the song fuzzer ran ${seconds} s without a crash, leak or hang"
