#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on both targets:
# Windows x86-64 under Wine, ThreadSanitizer, the fuzzers for a bounded time,
# Ardour driving the release plug-in, and last the native suite under
# AddressSanitizer + UndefinedBehaviorSanitizer (which also compares the native
# renderer with the Windows one under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/tarvel-wine}
export WINEDEBUG=-all
JOBS=${JOBS:-$(nproc)}

echo "== Windows x86-64 (MinGW-w64, tests under Wine)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$JOBS"
/usr/lib/wine/wineserver -p || true  # one persistent server: each Wine start then costs ~0.1 s
trap '/usr/lib/wine/wineserver -k || true' EXIT
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
# Editor windows are read back pixel for pixel: a 24-bit screen, not the 8-bit default.
xvfb-run -a -s "-screen 0 1024x1024x24" ctest --preset win64

echo "== ThreadSanitizer (threaded tests)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$JOBS"
ctest --preset tsan -L threads

echo "== Fuzzing"
scripts/fuzz.sh

echo "== Ardour 7 as a third-party host (release build: Ardour cannot load a sanitizer build)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS" --target Tarvel tarvel-render ardour_helper
ctest --preset release -L ardour

echo "== Linux x86-64, AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
ctest --preset asan
