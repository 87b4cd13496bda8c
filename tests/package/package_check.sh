#!/usr/bin/env bash
# What users install, used as they would use it.
# - The Windows zip: it holds the Tarvel.vst3 bundle and Tarvel.clap; its Tarvel.dll, alone in
#   a folder, loads under Wine in the zip's tarvel-render.exe, which otherwise
#   finds the DLL beside itself.
# - The Debian package: lintian reports no error. Installed with apt-get, it
#   puts Tarvel.so in /usr/lib/vst and the VST3 bundle in /usr/lib/vst3, where
#   Ardour finds them with a fresh HOME and no LXVST_PATH once Ardour's
#   scanners have read them; the LV2 bundle in /usr/lib/lv2/tarvel.lv2, which
#   lilv finds without LV2_PATH; /usr/lib/clap/Tarvel.clap, which Qtractor's
#   scanner lists; /usr/bin/tarvel-render tells its version and
#   renders through it; apt-get remove leaves nothing.
#   Installing needs root, or TARVEL_INSTALL_TEST=1 and sudo; otherwise that
#   part is skipped, and says so.
#
# usage: package_check.sh PACKAGE.deb PACKAGE.zip WORK_DIR
set -euo pipefail
deb=$(realpath "$1") zip=$(realpath "$2") work=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "package: $*"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
unset TARVEL_PLUGIN

# The zip, unpacked as a user would.
(cd "$work" && cmake -E tar xf "$zip")
unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'Tarvel-*')
for file in Tarvel.dll tarvel-render.exe README.txt LICENSE.txt Tarvel.vst3/Contents/x86_64-win/Tarvel.vst3 \
            Tarvel.vst3/Contents/Resources/moduleinfo.json Tarvel.clap; do
  [ -f "$unpacked/$file" ] || fail "the zip lacks $file"
done
mkdir "$work/alone"
cp "$unpacked/Tarvel.dll" "$work/alone/"
source "$here/../../scripts/wine-env.sh"
export unpacked work
with_wine_server bash -c '
  fail() { echo "package: $*"; exit 1; }
  wine=/usr/lib/wine/wine64
  "$wine" "$unpacked/tarvel-render.exe" --plugin "$work/alone/Tarvel.dll" --response "$work/alone.csv" >"$work/wine.log" 2>&1 \
    || { cat "$work/wine.log"; fail "Tarvel.dll does not load from a folder of its own"; }
  "$wine" "$unpacked/tarvel-render.exe" --response "$work/beside.csv" >"$work/wine.log" 2>&1 \
    || { cat "$work/wine.log"; fail "tarvel-render.exe does not find the Tarvel.dll beside it"; }
  cmp -s "$work/alone.csv" "$work/beside.csv" || fail "the two responses of the plug-in in the zip differ"'
echo "package: the zip's Tarvel.dll loads alone under Wine; its tarvel-render.exe finds it"

# grep reads the whole listing: with -q it would stop at the first match and
# break dpkg-deb's pipe (pipefail then fails the check).
dpkg-deb -c "$deb" | grep ' \./usr/lib/clap/Tarvel\.clap$' >/dev/null || fail "the package lacks /usr/lib/clap/Tarvel.clap"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
grep -v "running with root privileges" "$work/lintian.log" || true  # its warnings
echo "package: lintian reports no error"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if [ "${TARVEL_INSTALL_TEST:-0}" != 1 ]; then
    echo "package: SKIPPED installing $(basename "$deb"): needs root (or TARVEL_INSTALL_TEST=1 with sudo)"
    exit 0
  fi
  SUDO=sudo
fi
installed() { dpkg-query -W -f='${Status}' tarvel 2>/dev/null | grep -q "ok installed"; }
if installed; then
  echo "package: SKIPPED installing $(basename "$deb"): tarvel is already installed here, left as it is"
  exit 0
fi
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" >>"$work/apt.log" 2>&1; }
trap 'if installed; then apt_get remove tarvel || true; fi' EXIT
apt_get install "$deb" || { cat "$work/apt.log"; fail "apt-get cannot install $deb"; }

version=$(dpkg-deb -f "$deb" Version)
[ -f /usr/lib/vst/Tarvel.so ] || fail "no /usr/lib/vst/Tarvel.so"
vst3=/usr/lib/vst3/Tarvel.vst3
[ -f $vst3/Contents/x86_64-linux/Tarvel.so ] && [ -f $vst3/Contents/Resources/moduleinfo.json ] \
  || fail "no VST3 bundle in /usr/lib/vst3"
[ "$(/usr/bin/tarvel-render --version)" = "tarvel-render $version" ] || fail "tarvel-render --version does not say $version"
for file in /usr/share/man/man1/tarvel-render.1.gz /usr/share/doc/tarvel/copyright /usr/share/doc/tarvel/README.md; do
  [ -f "$file" ] || fail "no $file"
done
# The demo, then its input to FLAC, with the plug-in tarvel-render finds itself.
/usr/bin/tarvel-render --demo "$work/demo" >/dev/null 2>"$work/render.log" \
  && /usr/bin/tarvel-render --quiet "$work/demo/demo-input.wav" "$work/out.flac" --gain "80 Hz=-6" >/dev/null 2>>"$work/render.log" \
  || { cat "$work/render.log"; fail "/usr/bin/tarvel-render cannot render"; }
[ "$(head -c 4 "$work/out.flac")" = fLaC ] || fail "out.flac is not a FLAC file"
echo "package: installed $(basename "$deb"); /usr/bin/tarvel-render $version renders with /usr/lib/vst/Tarvel.so"

# Ardour with a fresh HOME and LXVST_PATH unset searches its default path. A
# scan counts only if it is newer than the plug-in file in whole seconds.
home=$work/home
mkdir -p "$home"
while [ "$(date +%s)" -le "$(stat -c %Y /usr/lib/vst/Tarvel.so)" ]; do sleep 0.2; done
(
  export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache XDG_DATA_HOME=$home/.local/share
  unset LXVST_PATH
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f /usr/lib/vst/Tarvel.so >"$work/scan.log" 2>&1 \
    || { cat "$work/scan.log"; fail "Ardour's scanner cannot load /usr/lib/vst/Tarvel.so"; }
  TARVEL_SESSION_DIR=$work/session /usr/bin/ardour7-lua "$here/list_plugins.lua" >"$work/list.log" 2>&1 \
    || { cat "$work/list.log"; fail "Ardour cannot list its plug-ins"; }
  grep -qx "lxvst Tarvel /usr/lib/vst/Tarvel.so" "$work/list.log" \
    || { cat "$work/list.log"; fail "Ardour does not find Tarvel in its default search path"; }
  LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f $vst3 >"$work/scan3.log" 2>&1 \
    || { cat "$work/scan3.log"; fail "Ardour's VST3 scanner cannot load $vst3"; }
  grep -q 'name="Tarvel"' "$(find "$HOME/.cache/ardour7/vst" -name '*.v3i' | head -n1)" \
    || fail "Ardour's VST3 scanner did not list Tarvel from $vst3"
)
echo "package: Ardour finds Tarvel in /usr/lib/vst and, as VST3, in /usr/lib/vst3 with a fresh HOME"

[ -f /usr/lib/lv2/tarvel.lv2/tarvel.so ] && [ -f /usr/lib/lv2/tarvel.lv2/manifest.ttl ] || fail "no /usr/lib/lv2/tarvel.lv2"
(
  export HOME=$home
  unset LV2_PATH
  lv2ls | grep -qx urn:corvane:tarvel || fail "lilv's default search path does not find Tarvel (LV2)"
)
echo "package: lilv finds Tarvel (LV2) in /usr/lib/lv2 with no LV2_PATH"

[ -f /usr/lib/clap/Tarvel.clap ] || fail "no /usr/lib/clap/Tarvel.clap"
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
if [ -x $scanner ]; then
  (
    export HOME=$home
    echo CLAP:/usr/lib/clap/Tarvel.clap | $scanner >"$work/qscan.log" 2>&1 || true
    grep -q '^CLAP|Tarvel|2:2|' "$work/qscan.log" || { cat "$work/qscan.log"; fail "Qtractor's scanner does not list /usr/lib/clap/Tarvel.clap"; }
  )
  echo "package: Qtractor's scanner lists Tarvel (CLAP) from /usr/lib/clap"
fi

apt_get remove tarvel || { cat "$work/apt.log"; fail "apt-get cannot remove tarvel"; }
! installed || fail "tarvel is still installed after apt-get remove"
left=$(find /usr/lib/vst /usr/lib/vst3 /usr/lib/lv2 /usr/lib/clap /usr/bin /usr/share/doc /usr/share/man/man1 -maxdepth 1 -iname '*tarvel*' 2>/dev/null || true)
[ -z "$left" ] || fail "left behind after apt-get remove: $left"
echo "package: removed cleanly"
