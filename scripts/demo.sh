#!/usr/bin/env bash
# Sets up the machine, builds both targets and says where the plug-in files are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
JOBS=${JOBS:-$(nproc)}
cmake --preset release >/dev/null && cmake --build --preset release -j "$JOBS"
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "$JOBS"
echo
echo "Linux plug-ins:   $(pwd)/build/release/vst/Tarvel.so (VST 2.4)"
echo "                  $(pwd)/build/release/Tarvel.vst3 (VST3)"
echo "                  $(pwd)/build/release/lv2/bundles/tarvel.lv2 (LV2)"
echo "Windows plug-ins: $(pwd)/build/win64/vst/Tarvel.dll (VST 2.4)"
echo "                  $(pwd)/build/win64/Tarvel.vst3 (VST3)"
echo
# The main job on a built-in example: a generated signal through the plug-in.
build/release/tools/render/tarvel-render --demo build/demo

# The editor as a user sees it: Tarvel.dll under Wine in a window of its own
# on a virtual display, with pink noise playing.
source scripts/wine-env.sh
with_wine_server scripts/wine-run.sh build/win64/tools/editorshot/tarvel-editor-shot.exe build/win64/vst/Tarvel.dll \
  build/demo/editor.png
