#!/usr/bin/env bash
# jalv.gtk3 (suil embedding the X11 UI in GTK 3) opens Tarvel's LV2 UI on a
# virtual display, on a JACK server of its own with the dummy driver: two
# captures of the UI a second apart both follow the picture's formula, at
# different frames (the idle interface ticks it).
#
# usage: jalv_check.sh BUNDLES_DIR ARDOUR_HELPER WORK_DIR   (inside xvfb-run)
set -euo pipefail
bundles=$1 helper=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
# One JACK server name per work folder: JACK keeps every name it has seen in
# a machine-wide table of eight, and takes an entry back only for the same
# name once its server is gone, so a name per run would fill the table with
# the entries of servers that did not leave it ("Too many servers already
# active") and no further check could start one.
server=tarvel-jalv-$(cd "$work" && pwd | cksum | cut -d' ' -f1)
export LV2_PATH=$bundles JACK_DEFAULT_SERVER=$server JACK_NO_AUDIO_RESERVATION=1
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
jalv.gtk3 urn:corvane:tarvel >"$work/jalv.log" 2>&1 &
pids=($! "${pids[@]}")

# The UI's window: the deepest 768 x 768 window under jalv's "Tarvel" window.
id=
for _ in $(seq 100); do
  top=$(xwininfo -root -children 2>/dev/null | grep -F '"Tarvel": ("jalv.gtk3"' | awk '{print $1}' | head -n1 || true)
  [ -n "$top" ] && id=$(xwininfo -tree -id "$top" | grep -E '^ +0x[0-9a-f]+ .*  768x768\+' | tail -n1 | awk '{print $1}')
  [ -n "$id" ] && break
  sleep 0.1
done
[ -n "$id" ] || { cat "$work/jalv.log"; echo "jalv: no UI window"; exit 1; }
frames=()
for shot in 1 2; do
  sleep 1
  /usr/bin/import -window "$id" "$work/ui$shot.png"
  /usr/bin/convert "$work/ui$shot.png" -depth 8 "rgb:$work/ui$shot.rgb"
  frames+=("$("$helper" picture "$work/ui$shot.rgb" | sed -n 's/^picture at frame \([0-9]*\) .*/\1/p')")
done
[ -n "${frames[0]}" ] && [ -n "${frames[1]}" ] || { echo "jalv: a capture is off the picture's formula"; exit 1; }
[ "${frames[0]}" != "${frames[1]}" ] || { echo "jalv: the UI did not tick (frame ${frames[0]} twice)"; exit 1; }
echo "jalv: the UI shows the picture at frames ${frames[0]} and ${frames[1]}"
