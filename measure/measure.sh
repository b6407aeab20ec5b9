# Sourced first by every measuring script: strict mode, the checkout's top as
# the current folder, the private X server's helpers (tests/support/xvfb.sh,
# with fail), cpu_ticks (tests/support/cpu-time.sh), and
#   measure_build BUILD [probe]
# which sets `build` and `show_dir` (its ready-to-run folder) and, asked for,
# `probe`: the present probe, built with the benchmarks (-DQUARVELIN_BENCH=ON).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source tests/support/xvfb.sh
source tests/support/cpu-time.sh

measure_build() {
  build=$1
  [[ -d $build/show ]] || fail "no ready-to-run folder $build/show: build it first"
  show_dir=$(realpath "$build/show")
  if [[ ${2:-} == probe ]]; then
    [[ -f $build/bench/quarvelin-present-probe.so ]] ||
      fail "no present probe in $build/bench: configure the build with -DQUARVELIN_BENCH=ON"
    probe=$(realpath "$build/bench/quarvelin-present-probe.so")
  fi
}
