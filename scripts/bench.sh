#!/usr/bin/env bash
# Builds the release preset and runs every benchmark program of the Linux
# build (bench/CMakeLists.txt), bench_editor_x11 on a virtual display. Each
# program measures against a reference in the same run and prints the ratios;
# pass a program and its options to run a part, e.g.
#   scripts/bench.sh bench_plugin --benchmark_filter=Peer
# (The Windows build's bench_editor_window runs under Wine: scripts/wine-run.sh.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
source scripts/wine-env.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${JOBS:-$(nproc)}"
run() {  # program, options...
  local program=build/release/bench/$1; shift
  case $program in
    *_x11) on_virtual_display "$program" "$@" ;;
    *) "$program" "$@" ;;
  esac
}
if [ $# -gt 0 ]; then
  run "$@"
  exit
fi
for program in build/release/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "== $name"
  case $name in
    bench_vst3 | bench_clap) run "$name" ;;  # programs of their own: the only option is a round count
    *) run "$name" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true ;;
  esac
done
