#!/usr/bin/env bash
# Ardour's GUI opens the session with Tarvel's own editor showing (run inside
# an X server: ardour_check.sh starts this under xvfb-run). The plug-in's
# window, found in Ardour's plug-in window, is captured and checked against
# the picture's formula with a zero audio summary (the transport stands, the
# dummy backend's input is silence) and for the text line.
#
# usage: ardour_gui.sh SESSION_DIR SESSION_NAME ARDOUR_HELPER WORK_DIR [FORMAT]
# FORMAT is the plug-in's type as Ardour's session file writes it: lxvst
# (default), vst3 or lv2. HOME and the XDG folders are the check's own
# (ardour_check.sh sets them).
set -euo pipefail
session=$1 name=$2 helper=$3 work=$4 format=${5:-lxvst}
case $format in
  lxvst) title_format=VST ;;
  vst3) title_format=VST3 ;;
  lv2) title_format=LV2 ;;
  *) echo "ardour gui: unknown format $format"; exit 1 ;;
esac
file=$session/$name.ardour

# Start-up without dialogs: no new-user wizard, the dummy backend started at once.
conf=$XDG_CONFIG_HOME/ardour7
mkdir -p "$conf"
: >"$conf/.a7"
cat >"$conf/config" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="2" input-latency="0" output-latency="0"
               input-channels="0" output-channels="0" active="1" use-buffered-io="0" midi-option="None"
               lru="1"/>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF

# The plug-in window open at start-up, with the plug-in's own editor: the
# window state Ardour saves for it, keyed by the route's and processor's ids.
route=$(grep -o '<Route [^>]* name="Tarvel"[^>]*>' "$file" | grep -o ' id="[0-9]*"' | head -n1 | tr -dc 0-9)
processor=$(grep -o "<Processor [^>]*type=\"$format\"[^>]*>" "$file" | grep -o ' id="[0-9]*"' | head -n1 | tr -dc 0-9)
[ -n "$route" ] && [ -n "$processor" ] || { echo "ardour gui: no Tarvel track or plug-in in the session"; exit 1; }
state="<Window name=\"P-$route-$processor\" visible=\"1\" x-off=\"40\" y-off=\"40\" x-size=\"-1\" y-size=\"-1\" custom-ui=\"1\"/>"
if grep -q '<UI>' "$file"; then
  sed -i "s|<UI>|<UI>$state|" "$file"
elif grep -q '<Extra>' "$file"; then
  sed -i "s|<Extra>|<Extra><UI>$state</UI>|" "$file"
else
  sed -i "s|</Session>|<Extra><UI>$state</UI></Extra></Session>|" "$file"
fi

ardour_pid=
stop_ardour() {
  [ -n "$ardour_pid" ] || return 0
  kill -TERM "$ardour_pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$ardour_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$ardour_pid" 2>/dev/null || true
  wait "$ardour_pid" 2>/dev/null || true
  ardour_pid=
}
trap stop_ardour EXIT

# The plug-in's window: the deepest 768 x 768 window in Ardour's plug-in
# window (its parent, Ardour's embedding window, has the same size).
editor_window() {
  local top
  top=$(xwininfo -root -children 2>/dev/null | grep -F "\"Tarvel: Tarvel (by Corvane) [$title_format]\"" | awk '{print $1}' | head -n1)
  [ -n "$top" ] || return 1
  xwininfo -tree -id "$top" 2>/dev/null | grep -E '^ +0x[0-9a-f]+ .*: \(.*\)  768x768\+' | tail -n1 | awk '{print $1}'
}

capture() {  # attempt number
  local log=$work/ardour-gui$1.log id=""
  /usr/bin/ardour -n -a "$file" >"$log" 2>&1 &
  ardour_pid=$!
  for _ in $(seq 60); do
    sleep 0.5
    kill -0 "$ardour_pid" 2>/dev/null || { echo "ardour gui: Ardour exited"; tail -n 20 "$log"; return 1; }
    id=$(editor_window || true)
    [ -n "$id" ] && break
  done
  [ -n "$id" ] || { echo "ardour gui: no plug-in editor window after 30 s"; xwininfo -root -tree | head -n 40; return 1; }
  sleep 1  # a few of Ardour's idle calls: the editor has painted
  /usr/bin/import -window "$id" "$work/editor.png"
  /usr/bin/convert "$work/editor.png" -depth 8 "rgb:$work/editor.rgb"
  stop_ardour
  "$helper" picture "$work/editor.rgb"
}

# Ardour's start-up under a loaded machine is the slow, flaky part: one retry.
if ! capture 1; then
  stop_ardour
  echo "ardour gui: trying once more"
  capture 2
fi
