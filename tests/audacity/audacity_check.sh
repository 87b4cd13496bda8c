#!/usr/bin/env bash
# Audacity 3.2.4 as a real host, unattended: under Xvfb, driven through its
# mod-script-pipe module, Audacity imports a noise file, applies Tarvel with a
# user preset and exports the result, once through the VST 2.4 module and once
# through the LV2 bundle. Each export must match tarvel-render (the VST 2.4
# module, latency removed) from the first sample to within -100 dB: the VST
# 2.4 one as it is (Audacity compensates its latency), the LV2 one after the
# latency the plug-in reports (Audacity does not compensate LV2 latency).
#
# usage: audacity_check.sh VST_PLUGIN.so LV2_BUNDLE_DIR TARVEL_RENDER ARDOUR_HELPER WORK_DIR
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 VST_PLUGIN.so LV2_BUNDLE_DIR TARVEL_RENDER ARDOUR_HELPER WORK_DIR" >&2; exit 2; }
vst=$1 bundle=$2 render=$3 helper=$4 work=$5
rate=44100 frames=132300 preset=tarvelcheck
# Every band, as the VST 2.4 parameters and the LV2 ports are named.
bands=("80 Hz" "250 Hz" "800 Hz" "2.5 kHz" "8 kHz")
declare -A gain=(["80 Hz"]=6 ["250 Hz"]=0 ["800 Hz"]=-9 ["2.5 kHz"]=0 ["8 kHz"]=3)
audacity=/usr/bin/audacity
# Seconds. The first start validates every plug-in Audacity finds, the
# system's LV2 ones too (about 20 s on an idle machine).
register_timeout=150 start_timeout=60 command_timeout=30 exit_timeout=20
started=$(date +%s%N)
step() {  # what was done, and the time since the start
  local ms=$(( ($(date +%s%N) - started) / 1000000 ))
  printf '%-60s %3d.%03d s\n' "$1" $((ms / 1000)) $((ms % 1000))
}
fail() { echo "audacity: $*" >&2; exit 1; }

[ -x "$audacity" ] || fail "$audacity is not installed"
[ -f "$vst" ] || fail "no VST 2.4 module at $vst"
[ -f "$bundle/manifest.ttl" ] || fail "no LV2 bundle at $bundle"
module=$(dpkg-query -L audacity 2>/dev/null | grep '/mod-script-pipe\.so$' | head -n1) || true
[ -n "$module" ] || fail "Audacity's mod-script-pipe module is not installed"

# mod-script-pipe has one pair of pipes per user: a second scripted Audacity
# of this user would take our commands.
uid=$(id -u)
to_pipe=/tmp/audacity_script_pipe.to.$uid from_pipe=/tmp/audacity_script_pipe.from.$uid
if ps -u "$uid" -o stat=,comm= | awk '$1 !~ /^Z/ && $2 == "audacity" { found = 1 } END { exit !found }'; then
  fail "another Audacity of this user is running; its script pipes would be shared"
fi
# Pipes left by an Audacity that was killed belong to nobody now.
rm -f "$to_pipe" "$from_pipe"

# Audacity keeps its configuration, plug-in registry and presets under HOME:
# a fresh one keeps the user's own set-up out. It is started from an empty
# folder: with a subfolder lv2/ there, Debian's build adds that relative path
# to LV2_PATH and lilv crashes on what it finds in it.
rm -rf "$work"
mkdir -p "$work/home/.config/audacity" "$work/vst" "$work/lv2" "$work/run" "$work/tmp"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share NO_AT_BRIDGE=1
# Audacity adds the system's folders after these.
export VST_PATH=$work/vst LV2_PATH=$work/lv2
cp "$vst" "$work/vst/Tarvel.so"
cp -r "$bundle" "$work/lv2/tarvel.lv2"
config=$HOME/.config/audacity

xvfb_pid='' audacity_pid=''
# No grep -q after a pipe: with pipefail, its early exit can fail the writer.
running() { ps -o stat= -p "$audacity_pid" 2>/dev/null | grep -v '^Z' >/dev/null; }
# The exit status goes to audacity_status; what is left of the process group
# (a plug-in validation host) is killed.
reap() {
  audacity_status=0
  wait "$audacity_pid" 2>/dev/null || audacity_status=$?
  kill -KILL -- "-$audacity_pid" 2>/dev/null || true
  audacity_pid=''
  # mod-script-pipe removes its pipes only once it reads the end of its
  # input, which an exit does not wait for.
  rm -f "$to_pipe" "$from_pipe"
}
stop_audacity() {
  if [ -n "$audacity_pid" ]; then
    kill -KILL -- "-$audacity_pid" 2>/dev/null || true
    reap
  fi
}
cleanup() {
  exec 5>&- 6<&-
  stop_audacity
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
DISPLAY=:$(cat "$work/display")
export DISPLAY

"$helper" noise "$work/input.wav" $rate $frames 41
gain_args=()
for band in "${bands[@]}"; do gain_args+=(--gain "$band=${gain[$band]}"); done
report=$("$render" --plugin "$work/vst/Tarvel.so" --quiet "${gain_args[@]}" --save-chunk "$work/preset.chunk" \
  "$work/input.wav" "$work/reference.wav")
# "wrote FILE: N frames, L samples of plug-in latency removed"
latency=$(echo "$report" | sed -n 's/.* \([0-9][0-9]*\) samples of plug-in latency removed.*/\1/p')
[ -n "$latency" ] || fail "no latency in tarvel-render's report: $report"
step "input, tarvel-render reference and program chunk"

# The module is loaded without a question only when its path and time match
# what is recorded here. Export writes 32-bit float WAV (type 0x10000 WAV,
# encoding 6 float), so that nothing requantises the effect's output.
write_config() {  # PIPE_MODULE_STATE (0 off, 1 on)
  cat >"$config/audacity.cfg" <<EOF
PrefsVersion=1.1.1r1
[GUI]
ShowSplashScreen=0
EmptyCanBeDirty=0
[Version]
Major=3
Minor=2
Micro=4
[Directories]
TempDir=$work/tmp
[Module]
mod-script-pipe=$1
[ModulePath]
mod-script-pipe=$module
[ModuleDateTime]
mod-script-pipe=$(date -r "$module" +%Y-%m-%dT%H:%M:%S)
[FileFormats]
ExportFormat_SF1=65542
[FileFormats/ExportFormat_SF1_Type]
WAV_10000=6
EOF
}

died() {  # LOG WHAT
  reap
  tail -n 30 "$1"
  local how="status $audacity_status"
  [ "$audacity_status" -le 128 ] || how="signal $((audacity_status - 128))"
  fail "Audacity died ($how) $2 (see $1)"
}
windows() { xwininfo -root -tree 2>/dev/null | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": ("audacity" .*/\1/p'; }
window_up() { windows | grep -x Audacity >/dev/null; }
# Before a stuck Audacity is killed: its windows, and where its threads stand.
# Audacity answers a fatal signal (a crash in a plug-in, say) with its debug
# report dialog and waits there, so a crash shows as a hang.
diagnose() {  # LOG
  tail -n 20 "$1"
  echo "audacity: windows open: $(windows | grep -vx audacity | sed 's/.*/"&"/' | paste -sd ' ')"
  if windows | grep '^Debug report' >/dev/null; then
    echo "audacity: Audacity caught a fatal signal (its debug report is open)"
  fi
  command -v gdb >/dev/null || return 0
  timeout 60 gdb -p "$audacity_pid" -batch -ex "thread apply all bt" >"$work/audacity-stacks.txt" 2>&1 || true
  echo "audacity: stacks of all threads in $work/audacity-stacks.txt; the crashed one (else the main one):"
  awk '/^Thread /{ if (keep) exit; head = $0; n = 0; delete lines }
       /^#/ { lines[n++] = $0 }
       /signal handler called/ { keep = 1 }
       END { if (!keep) exit; print head; for (i = 0; i < n && i < 40; i++) print lines[i] }' \
      "$work/audacity-stacks.txt" \
    | grep . || awk '/^Thread 1 /{ p = 1 } p && /^$/ { exit } p' "$work/audacity-stacks.txt" | head -n 40
}
start_audacity() {  # LOG SECONDS: started in its own process group, up when its main window shows
  # Its debug report goes to TMPDIR.
  (cd "$work/run" && TMPDIR=$work/tmp exec setsid "$audacity" >"$1" 2>&1) &
  audacity_pid=$!
  local waited=0
  until window_up; do
    running || died "$1" "while starting"
    [ $waited -lt $(($2 * 10)) ] || { diagnose "$1"; fail "no Audacity window after $2 s"; }
    sleep 0.1
    waited=$((waited + 1))
  done
}
wait_for_exit() {  # SECONDS LOG: a hung Audacity is killed
  local waited=0
  while running; do
    if [ $waited -ge $(($1 * 10)) ]; then
      diagnose "$2"
      stop_audacity
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  reap
}

# Registration: new plug-ins are validated in a child process that would load
# the pipe module too and break the parent's pipes, so this start runs without
# it. The main window shows once the registry is written.
write_config 0
start_audacity "$work/audacity-register.log" $register_timeout
# The registry names a plug-in by its path; a VST 2.4 module's ends in the
# index of the effect in it (";0" when the module is no shell).
registry=$config/pluginregistry.cfg vst_path="$work/vst/Tarvel.so;0" lv2_path=urn:corvane:tarvel
section_of() {  # PATH: the registry section of the plug-in at that path
  awk -v path="Path=$1" '/^\[/ { keep = 0; head = $0 } $0 == path { keep = 1; print head } keep && !/^\[/' "$registry"
}
for _ in $(seq 50); do
  [ -n "$(section_of "$vst_path")" ] && [ -n "$(section_of "$lv2_path")" ] && break
  sleep 0.1
done
stop_audacity
for path in "$vst_path" "$lv2_path"; do
  section_of "$path" | grep -x 'Valid=1' >/dev/null \
    || { tail -n 20 "$work/audacity-register.log"; fail "Audacity did not register $path as a valid effect"; }
done
step "plug-ins registered"

# User presets as Audacity saves them in pluginsettings.cfg: one group per
# effect, named by base64 of "Effect_FAMILY_VENDOR_SYMBOL" as registered. The
# VST 2.4 one is a program chunk in base64, which Audacity loads whether or
# not the module declares chunks (its UniqueID, Version and Elements default
# to the loaded module's). The LV2 one names every input control port, spaces
# written as underscores as Audacity writes and reads them, with its value.
settings_group() {  # PATH
  local field id
  id=Effect
  for field in EffectFamily Vendor Symbol; do id+=_$(section_of "$1" | sed -n "s/^$field=//p"); done
  printf 'base64\\:%s' "$(printf '%s' "$id" | base64 -w0 | sed 's/=/\\=/g')"
}
lv2_parameters=''
for band in "${bands[@]}"; do lv2_parameters+="${band// /_}=\"${gain[$band]}\" "; done
lv2_parameters+='Enabled="1" '  # the bypass port (lv2:enabled), on
cat >"$config/pluginsettings.cfg" <<EOF
pluginsettingsversion=1.0
[pluginsettings/$(settings_group "$vst_path")/private/UserPresets/$preset]
Chunk=$(base64 -w0 "$work/preset.chunk")
[pluginsettings/$(settings_group "$lv2_path")/private/UserPresets/$preset]
Parameters=${lv2_parameters% }
EOF

# Both editions have the command id Tarvel and the first enabled one wins:
# each run enables one of them.
enable_only() {  # ON_PATH OFF_PATH: Enabled follows Path within a section
  awk -v on="Path=$1" -v off="Path=$2" '
    /^\[/ { mine = "" }
    $0 == on || $0 == off { mine = $0 }
    mine != "" && /^Enabled=/ { $0 = "Enabled=" (mine == on ? 1 : 0) }
    { print }' "$registry" >"$registry.new"
  mv "$registry.new" "$registry"
}

send() {  # LOG COMMAND: its reply must end in "BatchCommand finished: OK"
  local line partial='' reply='' waited=0 status
  printf '%s\n' "$2" >&5
  while :; do
    status=0
    IFS= read -r -t 1 line <&6 || status=$?
    if [ $status -eq 0 ]; then
      line=$partial$line partial=''
      reply+="$line"$'\n'
      case $line in
        "BatchCommand finished: OK") return 0 ;;
        "BatchCommand finished: "*) printf '%s' "$reply"; fail "$2: $line" ;;
      esac
    else
      # A timed-out read keeps what it has read of the line.
      partial+=$line
      running || died "$1" "on \"$2\""
      waited=$((waited + 1))
      if [ $waited -ge $command_timeout ]; then
        printf '%s' "$reply"
        diagnose "$1"
        fail "$2: no reply within ${command_timeout} s"
      fi
    fi
  done
}

render_in_audacity() {  # FORMAT PATH OTHER_PATH OUT LOG
  enable_only "$2" "$3"
  write_config 1
  rm -rf "$work/tmp"/*
  start_audacity "$5" $start_timeout
  for _ in $(seq 50); do [ -p "$to_pipe" ] && [ -p "$from_pipe" ] && break; sleep 0.1; done
  if [ ! -p "$to_pipe" ] || [ ! -p "$from_pipe" ]; then
    fail "Audacity ($1) made no script pipes: mod-script-pipe is not loaded"
  fi
  # Read and write ends both: opening never blocks, even if Audacity has died.
  exec 5<>"$to_pipe" 6<>"$from_pipe"
  send "$5" "Import2: Filename=\"$work/input.wav\""
  send "$5" "SelectAll:"
  send "$5" "Tarvel: Use_Preset=\"User Preset:$preset\""
  send "$5" "Export2: Filename=\"$4\" NumChannels=2"
  # An unsaved project would ask before closing.
  send "$5" "RemoveTracks:"
  send "$5" "Exit:"
  exec 5>&- 6<&-
  wait_for_exit $exit_timeout "$5" || fail "Audacity ($1) did not exit within $exit_timeout s of Exit:; killed"
  [ -f "$4" ] || fail "Audacity ($1) exported nothing"
  step "Audacity: $1 render exported"
}

check_render() {  # FORMAT FILE OFFSET
  "$helper" compare --expect-different "$work/input.wav" "$2" "$3" $((frames - $3)) >/dev/null \
    || fail "$1: the export is the unprocessed input; Tarvel did not run or its preset did not apply"
  printf '%s: ' "$1"
  "$helper" compare "$work/reference.wav" "$2" "$3" $((frames - $3)) \
    || fail "$1: Audacity's render differs from tarvel-render (from frame $3 of the export)"
}

render_in_audacity "VST 2.4" "$vst_path" "$lv2_path" "$work/audacity-vst.wav" "$work/audacity-vst.log"
render_in_audacity "LV2" "$lv2_path" "$vst_path" "$work/audacity-lv2.wav" "$work/audacity-lv2.log"
check_render "VST 2.4" "$work/audacity-vst.wav" 0
check_render "LV2 (latency $latency)" "$work/audacity-lv2.wav" "$latency"
step "compared from the first sample"
