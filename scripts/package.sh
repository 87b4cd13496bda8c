#!/usr/bin/env bash
# Builds what users install, into build/packages/: the Debian package
# (tarvel_VERSION_amd64.deb, from the release build) and the Windows zip
# (Tarvel-VERSION-win64.zip, from the MinGW build). Two builds of one commit
# give the same bytes: CPack's Debian generator dates everything with
# SOURCE_DATE_EPOCH (the commit's time, cmake/Packaging.cmake) and owns it by
# root; its zip carries the files' own times, owners and the local time zone,
# so the zip is written again with fixed times and modes, in name order. Run
# scripts/setup.sh once before on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
out=build/packages
rm -rf "$out"
mkdir -p "$out"

repack_zip() {  # zip, output, scratch directory
  local zip output
  zip=$(realpath "$1") output=$(realpath -m "$2")
  (cd "$3" && cmake -E tar xf "$zip")
  chmod -R u+rwX,go+rX,go-w "$3"
  find "$3" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  # zip stores local time: UTC gives the same bytes in every time zone. -X: no
  # owners or extra time fields.
  (cd "$3" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$output")
}

for preset in release win64; do
  cmake --preset "$preset" >/dev/null
  targets=(Tarvel Tarvel_vst3 Tarvel_clap tarvel-render)
  [ "$preset" = release ] && targets+=(tarvel_package_docs tarvel_lv2_bundle)
  cmake --build --preset "$preset" -j "$JOBS" --target "${targets[@]}"
  export SOURCE_DATE_EPOCH
  SOURCE_DATE_EPOCH=$(cat "build/$preset/source-date-epoch")
  work=build/$preset/cpack
  rm -rf "$work"
  cpack --config "build/$preset/CPackConfig.cmake" -B "$work" >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
  for file in "$work"/*.deb "$work"/*.zip; do
    [ -f "$file" ] || continue
    case $file in
      *.deb) mv -f "$file" "$out/" ;;
      *.zip) mkdir "$work/unpacked" && repack_zip "$file" "$out/$(basename "$file")" "$work/unpacked" ;;
    esac
    echo "package: $out/$(basename "$file")"
  done
done
