#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on both targets:
# Windows x86-64 under Wine, ThreadSanitizer, the fuzzers for a bounded time,
# Ardour driving the release plug-in, the packages (installed only as root or
# with TARVEL_INSTALL_TEST=1) and a second build of them from a clone of HEAD
# that must give the same bytes, and last the native suite under
# AddressSanitizer + UndefinedBehaviorSanitizer (which also compares the native
# renderer with the Windows one under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/wine-env.sh
JOBS=${JOBS:-$(nproc)}

echo "== Windows x86-64 (MinGW-w64, tests under Wine)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$JOBS"
with_wine_server ctest --preset win64

echo "== ThreadSanitizer (threaded tests)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$JOBS"
ctest --preset tsan -L threads

echo "== Fuzzing"
scripts/fuzz.sh

echo "== Ardour 7, Qtractor's CLAP scanner and Debian's LV2 hosts and tools (release build: they cannot load a sanitizer build)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS" --target Tarvel Tarvel_vst3 Tarvel_clap tarvel-render ardour_helper tarvel_lv2_bundle
ctest --preset release -L ardour
ctest --preset release -R '^clap_qtractor_scan$'
ctest --preset release -R '^(lv2_tools_render_like_tarvel_render|lv2_ui_in_jalv)$'

echo "== Packages: the Windows zip under Wine; the Debian package through lintian, installed and removed (as root)"
scripts/package.sh
tests/package/package_check.sh build/packages/tarvel_*_amd64.deb build/packages/Tarvel-*-win64.zip build/package-check

echo "== Reproducible packages: HEAD built again in a clone elsewhere gives the same bytes"
tests/package/reproducible_check.sh build/packages "$(mktemp -d)"

echo "== Linux x86-64, AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
ctest --preset asan
