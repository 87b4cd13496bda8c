#!/usr/bin/env bash
# Builds the release preset and runs every benchmark program. Each program
# measures against a reference in the same run and prints the ratios; pass a
# filter to run a part, e.g. scripts/bench.sh bench_plugin --benchmark_filter=Peer
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j "${JOBS:-$(nproc)}"
if [ $# -gt 0 ]; then
  program=$1; shift
  exec "build/release/bench/$program" "$@"
fi
for program in bench_fft bench_engine bench_text bench_plugin; do
  echo "== $program"
  "build/release/bench/$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
echo "== bench_vst3"
build/release/bench/bench_vst3
