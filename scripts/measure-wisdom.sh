#!/usr/bin/env bash
# Measures the engine's FFTW plans for every vector class this processor runs
# (sse2, avx, avx2, avx512; or those named) and writes effect/wisdom/CLASS.wisdom,
# which the build compiles in. Run it on an idle machine: the planner picks
# plans by timing them, and other work makes it pick slower ones. A class this
# processor lacks is refused, and its file is left as it is. Review the
# changed files (git diff) and commit them.
#
# Usage: scripts/measure-wisdom.sh [CLASS...]
set -euo pipefail
cd "$(dirname "$0")/.."

classes=("$@")
[ ${#classes[@]} -gt 0 ] || classes=(sse2 avx avx2 avx512)

cmake --preset release >/dev/null
cmake --build --preset release --target tarvel_wisdom -j "${JOBS:-$(nproc)}"
tool=build/release/tools/wisdom/tarvel_wisdom

status=0
for simd in "${classes[@]}"; do
  out=effect/wisdom/$simd.wisdom
  echo "measure-wisdom: $simd (about a minute)"
  rc=0
  "$tool" measure "$simd" "$out.new" || rc=$?
  if [ "$rc" -eq 0 ]; then
    mv "$out.new" "$out"
    echo "measure-wisdom: wrote $out"
  else
    rm -f "$out.new"
    [ "$rc" -eq 77 ] && [ $# -eq 0 ] && continue  # not on this processor: keep the file
    status=1
  fi
done
exit $status
