#!/usr/bin/env bash
# Builds what users install, into build/packages/: the Debian package
# (tarvel_VERSION_amd64.deb, from the release build) and the Windows zip
# (Tarvel-VERSION-win64.zip, from the MinGW build). Run scripts/setup.sh once
# before on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
out=build/packages
rm -rf "$out"
mkdir -p "$out"
for preset in release win64; do
  cmake --preset "$preset" >/dev/null
  targets=(Tarvel tarvel-render)
  [ "$preset" = release ] && targets+=(tarvel_package_docs tarvel_lv2_bundle)
  cmake --build --preset "$preset" -j "$JOBS" --target "${targets[@]}"
  work=build/$preset/cpack
  rm -rf "$work"
  cpack --config "build/$preset/CPackConfig.cmake" -B "$work" >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
  for file in "$work"/*.deb "$work"/*.zip; do
    [ -f "$file" ] || continue
    mv -f "$file" "$out/"
    echo "package: $out/$(basename "$file")"
  done
done
