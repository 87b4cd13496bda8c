#!/usr/bin/env bash
# Two builds of one commit give the same packages and modules: builds the
# packages of the working tree's HEAD again in a clone elsewhere (another
# directory, another time) and compares them (the .deb, the zip and the
# Windows installer), and the modules Tarvel.so and Tarvel.dll, byte for byte
# with PACKAGES_DIR's and the working tree's build. On a difference it names
# the first file inside the archives that differs, or says that only the
# archives' own data (times, owners, order) do; an installer that differs
# while the zip of its files does not is the installer's own difference.
#
# usage: reproducible_check.sh PACKAGES_DIR WORK_DIR
set -euo pipefail
packages=$(realpath "$1") work=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
fail() { echo "reproducible: $*"; exit 1; }

if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
  echo "reproducible: SKIPPED: the working tree has uncommitted changes; its packages are not HEAD's"
  exit 0
fi
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
git clone -q --no-checkout "$top" "$work/src"
git -C "$work/src" checkout -q --detach "$(git -C "$top" rev-parse HEAD)"
(cd "$work/src" && scripts/package.sh >"$work/package.log" 2>&1) || { tail -n 40 "$work/package.log"; fail "the second build failed"; }

unpack() {  # archive, directory
  mkdir -p "$2"
  case $1 in
    *.deb) dpkg-deb -R "$1" "$2" ;;
    *) (cd "$2" && cmake -E tar xf "$1") ;;
  esac
}
count=0
for first in "$packages"/*; do
  name=$(basename "$first")
  second=$work/src/build/packages/$name
  [ -f "$second" ] || fail "the second build made no $name"
  count=$((count + 1))
  cmp -s "$first" "$second" && continue
  if [[ $name == *-setup.exe ]]; then
    zip=${name%-setup.exe}.zip
    cmp -s "$packages/$zip" "$work/src/build/packages/$zip" || continue  # the zip's turn names the file
    fail "$name differs, though $zip, which holds its files, does not"
  fi
  unpack "$first" "$work/a/$name"
  unpack "$second" "$work/b/$name"
  while IFS= read -r file; do
    cmp -s "$work/a/$name/$file" "$work/b/$name/$file" 2>/dev/null || fail "$name differs first in $file"
  done < <(cd "$work/a/$name" && find . -type f | LC_ALL=C sort)
  fail "$name differs, its files do not: times, owners, modes or order in the archive"
done
[ "$count" -gt 0 ] || fail "no packages in $packages"
# The modules as built, before the packages strip them.
for module in build/release/vst/Tarvel.so build/win64/vst/Tarvel.dll; do
  cmp -s "$top/$module" "$work/src/$module" || fail "$module differs"
done
echo "reproducible: the $count packages and the modules of $(git -C "$top" rev-parse --short HEAD), built again in $work/src, are the same bytes"
rm -rf "$work"
