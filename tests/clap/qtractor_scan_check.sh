#!/usr/bin/env bash
# Qtractor's plug-in scanner (Debian's qtractor) reads the built CLAP module
# as Qtractor does before it offers a plug-in: one line per plug-in, here
# Tarvel with 2 audio inputs and 2 outputs, no MIDI, its 6 parameters (the
# five gains and the bypass, none read-only) and an editor. The scanner
# offers the plug-in a host that answers no extension. It runs in a private
# HOME under the work folder, so its cache and blacklist stay there.
#
# usage: qtractor_scan_check.sh Tarvel.clap WORK_DIR
set -eu
module=$(realpath "$1") work=$2
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
[ -x $scanner ] || { echo "qtractor scan: no $scanner (Debian's qtractor)"; exit 1; }
rm -rf "$work"
mkdir -p "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
echo "CLAP:$module" | timeout 60 $scanner >"$work/scan.log" 2>&1 || { cat "$work/scan.log"; exit 1; }
grep -q "^CLAP|Tarvel|2:2|0:0|6:0|GUI,EXT,RT|$module|0|" "$work/scan.log" \
  || { cat "$work/scan.log"; echo "qtractor scan: Tarvel not listed as 2:2 with 6 parameters and its GUI"; exit 1; }
echo "qtractor scan: $(grep '^CLAP|' "$work/scan.log")"
