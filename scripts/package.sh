#!/usr/bin/env bash
# Builds what users install, into build/packages/: the Debian package
# (tarvel_VERSION_amd64.deb, from the release build) and the Windows zip
# (Tarvel-VERSION-win64.zip, from the MinGW build). CPack makes them; they are
# then rebuilt with every file's time the commit's (SOURCE_DATE_EPOCH, see
# cmake/Packaging.cmake), root as owner, fixed modes and entries in name order,
# so that two builds of one commit give the same bytes. Run scripts/setup.sh
# once before on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
out=build/packages
rm -rf "$out"
mkdir -p "$out"

# A tree with fixed modes and times.
settle() {  # directory
  chmod -R u+rwX,go+rX,go-w "$1"
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}
repack_deb() {  # deb, output, scratch
  dpkg-deb -R "$1" "$3/tree"
  settle "$3/tree"
  dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$3/tree" "$2" >/dev/null
}
repack_zip() {  # zip, output, scratch
  mkdir "$3/tree"
  (cd "$3/tree" && cmake -E tar xf "$(realpath "$1")")
  settle "$3/tree"
  # zip stores local time: UTC gives the same bytes in every time zone. -X: no
  # owners or extra time fields.
  (cd "$3/tree" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$(realpath -m "$2")")
}

for preset in release win64; do
  cmake --preset "$preset" >/dev/null
  targets=(Tarvel tarvel-render)
  [ "$preset" = release ] && targets+=(tarvel_package_docs)
  cmake --build --preset "$preset" -j "$JOBS" --target "${targets[@]}"
  export SOURCE_DATE_EPOCH
  SOURCE_DATE_EPOCH=$(cat "build/$preset/source-date-epoch")
  work=build/$preset/cpack
  rm -rf "$work"
  cpack --config "build/$preset/CPackConfig.cmake" -B "$work" >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
  for file in "$work"/*.deb "$work"/*.zip; do
    [ -f "$file" ] || continue
    scratch=$work/repack-$(basename "$file")
    mkdir -p "$scratch"
    case $file in
      *.deb) repack_deb "$file" "$out/$(basename "$file")" "$scratch" ;;
      *.zip) repack_zip "$file" "$out/$(basename "$file")" "$scratch" ;;
    esac
    echo "package: $out/$(basename "$file")"
  done
done
