#!/usr/bin/env bash
# Ardour 7 as an LV2 host, headless: a session with one stereo track through
# Tarvel's LV2 edition (found through LV2_PATH, no scan) exports the same audio
# as tarvel-render through the VST 2.4 module, latency compensated, to within
# -100 dB. Then Ardour's GUI, under Xvfb, opens the LV2 UI, whose picture is
# checked (tests/ardour/ardour_gui.sh).
#
# usage: ardour_lv2_check.sh BUNDLE_DIR VST_PLUGIN.so TARVEL_RENDER ARDOUR_HELPER WORK_DIR
set -euo pipefail
bundle=$1 vst=$2 render=$3 helper=$4 work=$5
ardour=$(cd "$(dirname "$0")/../ardour" && pwd)
source "$ardour/ardour_export.sh"
rate=44100 frames=132300 offset=44100 name=tarvelcheck
gains=("80 Hz=-6" "250 Hz=+4.5" "800 Hz=0" "2.5 kHz=-60" "8 kHz=+12")
# The same gains as the LV2 ports take them: control input index, decibels.
params="0 -6 1 4.5 2 0 3 -60 4 12"

# A fresh HOME keeps the user's Ardour set-up out; LV2_PATH holds our bundle only.
rm -rf "$work"
mkdir -p "$work/home" "$work/lv2"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share LV2_PATH=$work/lv2
cp -r "$bundle" "$work/lv2/"

"$helper" noise "$work/input.wav" $rate $frames 17
gain_args=()
for g in "${gains[@]}"; do gain_args+=(--gain "$g"); done
"$render" --plugin "$vst" --quiet "${gain_args[@]}" "$work/input.wav" "$work/reference.wav" >/dev/null

session=$work/session
TARVEL_SESSION_DIR=$session TARVEL_SESSION_NAME=$name TARVEL_RATE=$rate TARVEL_FRAMES=$frames \
TARVEL_OFFSET=$offset TARVEL_PLUGIN_NAME=urn:corvane:tarvel TARVEL_PLUGIN_TYPE=LV2 TARVEL_PARAMS="$params" \
  /usr/bin/ardour7-lua "$ardour/make_session.lua" >"$work/session.log" 2>&1 \
  || { cat "$work/session.log"; echo "ardour lv2: cannot build the session"; exit 1; }
grep -q "session ready" "$work/session.log" || { cat "$work/session.log"; echo "ardour lv2: session script failed"; exit 1; }
grep -q 'type="lv2"' "$session/$name.ardour" || { echo "ardour lv2: no LV2 plug-in in the session"; exit 1; }
sed -i 's/name="range1" \(.*\) flags="IsRangeMarker"/name="session" \1 flags="IsSessionRange"/' "$session/$name.ardour"
audio=$(find "$session/interchange" -type d -name audiofiles | head -n1)
"$helper" split "$work/input.wav" "$audio/input%L.wav" "$audio/input%R.wav"

ardour_export "$work/ardour.wav" "$session" "$name" "$work/export.log" || { echo "ardour lv2: export failed"; exit 1; }
# Ardour passes audio through unchanged when a plug-in fails to load.
"$helper" compare --expect-different "$work/input.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour lv2: the export is the unprocessed input; the plug-in did not run"; exit 1; }
"$helper" compare "$work/reference.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour lv2: Ardour's render differs from tarvel-render"; exit 1; }

xvfb-run -a -s "-screen 0 1920x1080x24" "$ardour/ardour_gui.sh" "$session" "$name" "$helper" "$work" lv2 \
  || { echo "ardour lv2: the LV2 UI in Ardour's GUI failed its check"; exit 1; }
