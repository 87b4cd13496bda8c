#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${FUZZ_SECONDS:-60}
# No input may take more than 128 MB at once (the largest image the decoders
# accept is a 64 MB bitmap; a chunk or header that claims more is a fault) or
# leave the process above 1 GB.
MEMORY_LIMITS="-rss_limit_mb=1024 -malloc_limit_mb=128"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${JOBS:-$(nproc)}" --target fuzzers
shopt -s nullglob
for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=tests/fuzz/seeds/$name
  [ -d "$seeds" ] || seeds=""
  ASAN_OPTIONS=quarantine_size_mb=64:${ASAN_OPTIONS:-} "$fuzzer" -max_total_time="$SECONDS_EACH" $MEMORY_LIMITS -artifact_prefix="build/fuzz/$name-" -print_final_stats=1 "$corpus" $seeds 2>"build/fuzz/$name.log" \
    || { tail -n 60 "build/fuzz/$name.log"; exit 1; }
  echo "$name: $(grep -m1 'stat::number_of_executed_units' "build/fuzz/$name.log" | awk '{print $2}') executions in ${SECONDS_EACH} s, no crash"
done
