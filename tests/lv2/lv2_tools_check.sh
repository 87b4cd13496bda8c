#!/bin/sh
# Debian's LV2 tools on the bundle in the build tree: lv2_validate finds no
# error in its Turtle, lv2info reads its data without a warning, and lv2apply
# renders a file through it that matches tarvel-render (through the VST 2.4
# module) within -100 dB once the latency the plug-in reports is removed.
set -eu
bundles=$1 render=$2 vst=$3 helper=$4 work=$5
uri=urn:corvane:tarvel
export LV2_PATH="$bundles"
rm -rf "$work"
mkdir -p "$work"

# sord_validate prints its findings and still exits 0: read its summary.
lv2_validate "$bundles"/tarvel.lv2/*.ttl >"$work/validate.txt" 2>&1 || true
if ! grep -q "^Found 0 errors" "$work/validate.txt" || grep -qi "warning" "$work/validate.txt"; then
  echo "lv2_validate:"; grep -v "^Skipping" "$work/validate.txt"; exit 1
fi

lv2info "$uri" >"$work/info.txt" 2>"$work/info.err"
if [ -s "$work/info.err" ] || ! grep -q "Name: *Tarvel" "$work/info.txt"; then
  echo "lv2info: warnings or no Tarvel:"; cat "$work/info.err" "$work/info.txt"; exit 1
fi

rate=48000 frames=96000
"$helper" noise "$work/input.wav" $rate $frames 23
lv2apply -i "$work/input.wav" -o "$work/lv2.wav" -c gain_80hz -6 -c gain_2500hz 4.5 -c gain_8khz -20 "$uri"
report=$("$render" --plugin "$vst" --gain "80 Hz=-6" --gain "2.5 kHz=4.5" --gain "8 kHz=-20" \
  "$work/input.wav" "$work/reference.wav")
# "wrote FILE: N frames, L samples of plug-in latency removed"
latency=$(echo "$report" | sed -n 's/.* \([0-9][0-9]*\) samples of plug-in latency removed.*/\1/p')
[ -n "$latency" ] || { echo "no latency in: $report"; exit 1; }
"$helper" compare "$work/reference.wav" "$work/lv2.wav" "$latency" $((frames - latency))
