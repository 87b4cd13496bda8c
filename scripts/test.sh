#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on both targets:
# Windows x86-64 under Wine, ThreadSanitizer, the fuzzers for a bounded time,
# Ardour driving the release plug-in, the packages (installed only as root or
# with TARVEL_INSTALL_TEST=1), and last the native suite under
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
# One persistent Wine server for the whole run (each Wine start then costs
# ~0.1 s), started inside the virtual display: a server started without one
# keeps its desktop without one, and editor windows would fail to open. The
# editor's pixels are read back exactly, so the screen has 24 bits, not the
# 8-bit default.
xvfb-run -a -s "-screen 0 1024x1024x24" bash -c '
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -p
  scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
  ctest --preset win64; status=$?
  /usr/lib/wine/wineserver -k || true
  exit $status'

echo "== ThreadSanitizer (threaded tests)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$JOBS"
ctest --preset tsan -L threads

echo "== Fuzzing"
scripts/fuzz.sh

echo "== Ardour 7 and Debian's LV2 hosts and tools (release build: they cannot load a sanitizer build)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS" --target Tarvel tarvel-render ardour_helper tarvel_lv2_bundle
ctest --preset release -L ardour
ctest --preset release -R '^(lv2_tools_render_like_tarvel_render|lv2_ui_in_jalv)$'

echo "== Packages: the Windows zip under Wine; the Debian package through lintian, installed and removed (as root)"
scripts/package.sh
tests/package/package_check.sh build/packages/tarvel_*_amd64.deb build/packages/Tarvel-*-win64.zip build/package-check

echo "== Linux x86-64, AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
ctest --preset asan
