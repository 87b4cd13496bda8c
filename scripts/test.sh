#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on both targets:
# Windows x86-64 under Wine, ThreadSanitizer, the fuzzers for a bounded time,
# real hosts (Ardour, Audacity, Qtractor, Debian's LV2 tools) driving the release
# plug-ins, the packages (the Debian one installed only as root or with
# TARVEL_INSTALL_TEST=1; the Windows installer run in a fresh Wine prefix) and
# a second build of them from a clone of HEAD
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

echo "== Real hosts: Ardour 7, Audacity 3.2, Qtractor 0.9 (VST 2.4, LV2, CLAP), Debian's LV2 tools and jalv (release build: they cannot load a sanitizer build)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS" --target Tarvel Tarvel_vst3 Tarvel_clap tarvel-render ardour_helper \
  tarvel_lv2_bundle qtractor_helper alsa_seq_preload
ctest --preset release -L ardour
ctest --preset release -L 'audacity|qtractor'
ctest --preset release -R '^(lv2_tools_render_like_tarvel_render|lv2_ui_in_jalv)$'

echo "== Packages: the Windows zip and installer under Wine; the Debian package through lintian, installed and removed (as root)"
scripts/package.sh
tests/package/package_check.sh build/packages/tarvel_*_amd64.deb build/packages/Tarvel-*-win64.zip build/package-check
tests/package/installer_check.sh build/packages/Tarvel-*-win64-setup.exe build/packages/Tarvel-*-win64.zip \
  build/win64/tests/package/installer_helper.exe build/installer-check

echo "== Reproducible packages: HEAD built again in a clone elsewhere gives the same bytes"
tests/package/reproducible_check.sh build/packages "$(mktemp -d)"

echo "== Linux x86-64, AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
ctest --preset asan
