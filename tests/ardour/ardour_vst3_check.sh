#!/usr/bin/env bash
# The VST3 edition in a real third-party host, headless: Ardour's VST3 scanner
# reads the bundle (name, category, 2 in / 2 out), and an Ardour session with
# one stereo track through Tarvel (VST3) exports the same audio as
# tarvel-render through the VST 2.4 module, after Ardour's latency
# compensation, to within -100 dB; then Ardour's GUI, under Xvfb, opens the
# session with the VST3 editor showing (ardour_gui.sh).
#
# usage: ardour_vst3_check.sh BUNDLE.vst3 VST2_PLUGIN.so TARVEL_RENDER ARDOUR_HELPER WORK_DIR
set -euo pipefail
bundle=$1 plugin=$2 render=$3 helper=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/ardour_export.sh"
rate=44100 frames=132300 offset=44100 name=tarvelvst3
gains=("80 Hz=-6" "250 Hz=+4.5" "800 Hz=0" "2.5 kHz=-60" "8 kHz=+12")
# Ardour sets a VST3 parameter by its plain value: decibels, by index.
params="0 -6 1 4.5 2 0 3 -60 4 12"

# A fresh HOME: Ardour's configuration and scan cache, and ~/.vst3, one of the
# folders Ardour searches for VST3 bundles by default.
rm -rf "$work"
mkdir -p "$work/home/.vst3"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share
cp -a "$bundle" "$HOME/.vst3/Tarvel.vst3"
# A scan counts only if it is newer than the module in whole seconds.
find "$HOME/.vst3" -type f -exec touch -d '-10 seconds' {} +

LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$HOME/.vst3/Tarvel.vst3" \
  >"$work/scan.log" 2>&1 || { cat "$work/scan.log"; echo "ardour: the VST3 scanner could not load the bundle"; exit 1; }
cache=$(find "$HOME/.cache/ardour7/vst" -name '*.v3i' | head -n1)
[ -n "$cache" ] || { cat "$work/scan.log"; echo "ardour: the VST3 scanner wrote no cache"; exit 1; }
for expected in 'name="Tarvel"' 'category="Fx|EQ"' 'vendor="Corvane"' 'version="1.0.0"' 'n_inputs="2"' \
                'n_outputs="2"' 'n_midi_inputs="0"'; do
  grep -qF "$expected" "$cache" || { cat "$cache"; echo "ardour: the VST3 scan cache lacks $expected"; exit 1; }
done
echo "VST3 scanner: Tarvel, Fx|EQ, 2 in / 2 out"

"$helper" noise "$work/input.wav" $rate $frames 17
gain_args=()
for g in "${gains[@]}"; do gain_args+=(--gain "$g"); done
"$render" --plugin "$plugin" --quiet "${gain_args[@]}" "$work/input.wav" "$work/reference.wav" >/dev/null

session=$work/session
TARVEL_SESSION_DIR=$session TARVEL_SESSION_NAME=$name TARVEL_RATE=$rate TARVEL_FRAMES=$frames \
TARVEL_OFFSET=$offset TARVEL_PLUGIN_NAME=Tarvel TARVEL_PLUGIN_TYPE=VST3 TARVEL_PARAMS="$params" \
  /usr/bin/ardour7-lua "$here/make_session.lua" >"$work/session.log" 2>&1 \
  || { cat "$work/session.log"; echo "ardour: cannot build the VST3 session"; exit 1; }
grep -q "session ready" "$work/session.log" || { cat "$work/session.log"; echo "ardour: session script failed"; exit 1; }
sed -i 's/name="range1" \(.*\) flags="IsRangeMarker"/name="session" \1 flags="IsSessionRange"/' "$session/$name.ardour"
grep -q 'flags="IsSessionRange"' "$session/$name.ardour" || { echo "ardour: no session range"; exit 1; }
grep -q 'type="vst3"' "$session/$name.ardour" || { echo "ardour: the session holds no VST3 plug-in"; exit 1; }
audio=$(find "$session/interchange" -type d -name audiofiles | head -n1)
"$helper" split "$work/input.wav" "$audio/input%L.wav" "$audio/input%R.wav"

ardour_export "$work/ardour.wav" "$session" "$name" "$work/export.log" || { echo "ardour: export failed"; exit 1; }
"$helper" compare --expect-different "$work/input.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour: the export is the unprocessed input; the VST3 plug-in did not run"; exit 1; }
"$helper" compare "$work/reference.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour: Ardour's render through the VST3 edition differs from tarvel-render"; exit 1; }
echo "Ardour's export through Tarvel (VST3) matches tarvel-render"

xvfb-run -a -s "-screen 0 1920x1080x24" "$here/ardour_gui.sh" "$session" "$name" "$helper" "$work" vst3 \
  || { echo "ardour: the VST3 editor in Ardour's GUI failed its check"; exit 1; }
echo "Ardour's GUI shows Tarvel's VST3 editor, and its picture follows the formula"
