#!/usr/bin/env bash
# A real third-party host, headless: Ardour's plug-in scanner reads the
# plug-in file, and an Ardour session with one stereo track through the
# plug-in exports the same audio as tarvel-render (after Ardour's latency
# compensation) to within -100 dB. Then Ardour's GUI, under Xvfb, opens the
# session with the plug-in's own editor, whose picture is checked
# (ardour_gui.sh).
#
# usage: ardour_check.sh PLUGIN.so TARVEL_RENDER ARDOUR_HELPER WORK_DIR
set -euo pipefail
plugin=$1 render=$2 helper=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/ardour_export.sh"
rate=44100 frames=132300 offset=44100 name=tarvelcheck
gains=("80 Hz=-6" "250 Hz=+4.5" "800 Hz=0" "2.5 kHz=-60" "8 kHz=+12")
started=$(date +%s%N)
step() {  # what was done, and the time since the start
  local ms=$(( ($(date +%s%N) - started) / 1000000 ))
  printf '%-60s %3d.%03d s\n' "$1" $((ms / 1000)) $((ms % 1000))
}

# Ardour keeps its configuration and scan cache under HOME: a fresh one makes
# LXVST_PATH count and keeps the user's own Ardour set-up out of it.
rm -rf "$work"
mkdir -p "$work/home" "$work/vst"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share LXVST_PATH=$work/vst
cp "$plugin" "$work/vst/Tarvel.so"
# A scan counts only if it is newer than the plug-in file in whole seconds.
touch -d '-10 seconds' "$work/vst/Tarvel.so"

LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$work/vst/Tarvel.so" >"$work/scan.log" 2>&1 \
  || { cat "$work/scan.log"; echo "ardour: the scanner could not load the plug-in"; exit 1; }
cache=$(find "$HOME/.cache/ardour7/vst" -name '*.v2i' | head -n1)
[ -n "$cache" ] || { cat "$work/scan.log"; echo "ardour: the scanner wrote no cache"; exit 1; }
# What the scanner recorded must be what the plug-in reports to a host.
info=$("$helper" info "$work/vst/Tarvel.so")
field() { sed -n "s/^$1=//p" <<<"$info"; }
for expected in "name=\"$(field name)\"" "n_inputs=\"$(field inputs)\"" "n_outputs=\"$(field outputs)\"" \
                "has_editor=\"$(field editor)\"" "id=\"$(field id)\""; do
  grep -q "$expected" "$cache" || { cat "$cache"; echo "ardour: the scan cache lacks $expected"; exit 1; }
done
[ "$(field name)" = Tarvel ] && [ "$(field inputs)" = 2 ] && [ "$(field outputs)" = 2 ] && [ "$(field editor)" = 1 ] \
  || { echo "ardour: unexpected identity: $info"; exit 1; }
step "scanner: $(field name), $(field inputs) in / $(field outputs) out, editor $(field editor)"

"$helper" noise "$work/input.wav" $rate $frames 17
gain_args=()
for g in "${gains[@]}"; do gain_args+=(--gain "$g"); done
"$render" --plugin "$work/vst/Tarvel.so" --quiet "${gain_args[@]}" "$work/input.wav" "$work/reference.wav" >/dev/null
step "tarvel-render reference"

# The session: the same gains as Ardour sets them, normalised by the plug-in.
session=$work/session
TARVEL_SESSION_DIR=$session TARVEL_SESSION_NAME=$name TARVEL_RATE=$rate TARVEL_FRAMES=$frames \
TARVEL_OFFSET=$offset TARVEL_PLUGIN_NAME=Tarvel TARVEL_PARAMS="$("$helper" params "$work/vst/Tarvel.so" "${gains[@]}")" \
  /usr/bin/ardour7-lua "$here/make_session.lua" >"$work/session.log" 2>&1 \
  || { cat "$work/session.log"; echo "ardour: cannot build the session"; exit 1; }
grep -q "session ready" "$work/session.log" || { cat "$work/session.log"; echo "ardour: session script failed"; exit 1; }
sed -i 's/name="range1" \(.*\) flags="IsRangeMarker"/name="session" \1 flags="IsSessionRange"/' "$session/$name.ardour"
grep -q 'flags="IsSessionRange"' "$session/$name.ardour" || { echo "ardour: no session range"; exit 1; }
audio=$(find "$session/interchange" -type d -name audiofiles | head -n1)
"$helper" split "$work/input.wav" "$audio/input%L.wav" "$audio/input%R.wav"
step "session built"

ardour_export "$work/ardour.wav" "$session" "$name" "$work/export.log" || { echo "ardour: export failed"; exit 1; }
step "session exported"

# Ardour passes audio through unchanged when a plug-in fails to load: the
# export must differ from the input and match the renderer.
"$helper" compare --expect-different "$work/input.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour: the export is the unprocessed input; the plug-in did not run"; exit 1; }
"$helper" compare "$work/reference.wav" "$work/ardour.wav" $offset $frames \
  || { echo "ardour: Ardour's render differs from tarvel-render"; exit 1; }
step "compared"

xvfb-run -a -s "-screen 0 1920x1080x24" "$here/ardour_gui.sh" "$session" "$name" "$helper" "$work" \
  || { echo "ardour: the plug-in's editor in Ardour's GUI failed its check"; exit 1; }
step "editor in Ardour's GUI"
