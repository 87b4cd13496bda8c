#!/usr/bin/env bash
# Builds what users install, into build/packages/: the Debian package
# (tarvel_VERSION_amd64.deb, from the release build), the Windows zip
# (Tarvel-VERSION-win64.zip, from the MinGW build) and the Windows installer
# (Tarvel-VERSION-win64-setup.exe, made by makensis from the zip's files with
# packaging/windows/tarvel.nsi). Two builds of one commit give the same bytes:
# CPack's Debian generator dates everything with SOURCE_DATE_EPOCH (the
# commit's time, cmake/Packaging.cmake) and owns it by root; its zip carries
# the files' own times, owners and the local time zone, so the zip is written
# again with fixed times and modes, in name order; makensis stores its
# payload's times, which are then the zip's. Run scripts/setup.sh once before
# on a fresh machine.
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

# The installer from the files of the zip, unpacked and dated: the build's
# metadata and file names are the defines in BUILD/installer-defines.
make_installer() {  # build directory, payload directory
  local defines=()
  mapfile -t defines <"$1/installer-defines"
  # No /etc/nsisconf.nsh: nothing of the machine's goes into the installer.
  makensis -NOCONFIG -V2 "${defines[@]/#/-D}" -DPAYLOAD="$(realpath "$2")" -DOUTDIR="$(realpath "$out")" \
    packaging/windows/tarvel.nsi >"$1/makensis.log" 2>&1 || { cat "$1/makensis.log"; exit 1; }
  echo "package: $out/$(sed -n 's/^SETUP_FILE=//p' "$1/installer-defines")"
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
  if [ "$preset" = win64 ]; then
    make_installer "build/$preset" "$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)"
  fi
done
