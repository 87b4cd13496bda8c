#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh Wine prefix of its own, run
# as users and deployment scripts run it (exact command lines from .cmd files:
# NSIS reads /D= only unquoted, and Wine would quote it):
# - a silent install puts every file of the zip where it belongs, byte for
#   byte, and nothing else; the uninstall entry has name, version, publisher,
#   size and both uninstall commands;
# - the installed plug-ins load in our test hosts from there (VST 2.4, VST3
#   and CLAP must agree), and the installed tarvel-render finds the DLL
#   beside it;
# - while our test host holds one of the modules, the installer and the
#   uninstaller refuse (exit code 3) and change nothing; so does the
#   installer for an unknown component (exit code 2);
# - an upgrade over an earlier install (other files, an older version) makes
#   it this one, in the earlier install's VST 2.4 folder;
# - a component choice (/COMPONENTS=, /VST2DIR=) leaves exactly those
#   components, where it said, and puts the program folder on the PATH;
# - the silent uninstall (the entry's QuietUninstallString) leaves no file,
#   folder or registry value, and the PATH as it was;
# - a fresh install with /D= puts the program there and the VST 2.4 plug-in
#   in the folder hosts read from the registry (VSTPluginsPath), and an
#   upgrade without options keeps its components and folders; after the
#   uninstall and a reboot, drive C: and the registry are as the fresh
#   prefix had them.
#
# usage: installer_check.sh SETUP.exe PACKAGE.zip INSTALLER_HELPER.exe WORK_DIR
set -euo pipefail
setup=$(realpath "$1") zip=$(realpath "$2") helper=$(realpath "$3") work=$4
here=$(cd "$(dirname "$0")" && pwd)
check_name=installer
source "$here/../support/host_check.sh"

rm -rf "$work"
mkdir -p "$work/home" "$work/zip"
work=$(realpath "$work")
(cd "$work/zip" && cmake -E tar xf "$zip")
payload=$(find "$work/zip" -mindepth 1 -maxdepth 1 -type d -name 'Tarvel-*')

# A prefix and a HOME of our own; silent runs need no display.
export HOME=$work/home WINEPREFIX=$work/prefix
unset DISPLAY WAYLAND_DISPLAY
source "$here/../../scripts/wine-env.sh"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
drive=$WINEPREFIX/drive_c
holder=""
cleanup() {
  if [ -n "$holder" ]; then kill "$holder" 2>/dev/null || true; fi
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
}
trap cleanup EXIT

windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
# run NAME LINE: LINE as the one command of NAME.cmd; its exit code.
run() {
  printf '@echo off\r\n%s\r\nexit /b %%ERRORLEVEL%%\r\n' "$2" >"$work/$1.cmd"
  "$wine" cmd /c "$(windows_path "$work/$1.cmd")" >"$work/$1.log" 2>&1
}
setup_exe=\"$(windows_path "$setup")\"
install() {  # NAME OPTION...: a silent install that must succeed
  local name=$1; shift
  local status=0
  run "$name" "$setup_exe /S $*" || status=$?
  [ $status = 0 ] || { cat "$work/$name.log"; fail "$name: the installer failed (exit code $status)"; }
}
reg_value() {  # KEY NAME: the value's data, or nothing
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p"
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvel'
environment_key='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'

# Everything on drive C: but the users' Temp folders (NSIS's uninstaller runs
# from a copy there, which Windows deletes at the next boot): type and path,
# with state also size and time.
tree() { (cd "$drive" && find . -path './users/*/Temp' -prune -o -printf '%y %p\n' | LC_ALL=C sort); }
state() {
  (cd "$drive" && find . -path './users/*/Temp' -prune -o -printf '%y %p %s %T@\n' | LC_ALL=C sort)
  "$wine" reg query 'HKLM\Software\Corvane' /s 2>&1 | tr -d '\r'
  "$wine" reg query "$uninstall_key" 2>&1 | tr -d '\r'
  reg_value "$environment_key" Path
}
# The registry as saved when the Wine server stops, one line per value with
# its key, without the times, and without Wine's hardware records, which it
# writes again at every start.
registry() {
  "$wineserver" -w
  for hive in system.reg user.reg userdef.reg; do
    awk '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print key; next } /^#time=/ { next } NF { print key " " $0 }' \
        "$WINEPREFIX/$hive"
  done | grep -v -e '^\[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\' \
                 -e '^\[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards\]' | LC_ALL=C sort
}

# installed_as NAME PROGRAM DEST=SOURCE...: what the last install added to the fresh
# prefix is exactly these files (paths on C:, sources in the zip), their
# folders and the uninstaller in program folder PROGRAM, and each is the
# zip's file byte for byte. The uninstall entry's size counts them.
installed_as() {
  local name=$1 program=$2; shift 2
  local expected=() pair dest folder kib=0 size
  for pair in "$@" "$program/uninstall.exe="; do
    dest=${pair%%=*}
    expected+=("f ./$dest")
    folder=$(dirname "$dest")
    while [ "$folder" != . ] && ! grep -qxF "d ./$folder" "$work/fresh.tree"; do
      expected+=("d ./$folder")
      folder=$(dirname "$folder")
    done
  done
  printf '%s\n' "${expected[@]}" | LC_ALL=C sort -u >"$work/$name.expected"
  tree | LC_ALL=C comm -13 "$work/fresh.tree" - >"$work/$name.added"
  tree | LC_ALL=C comm -23 "$work/fresh.tree" - >"$work/$name.removed"
  [ ! -s "$work/$name.removed" ] || { cat "$work/$name.removed"; fail "$name: files of the fresh prefix are gone"; }
  diff "$work/$name.expected" "$work/$name.added" || fail "$name: the installed files are not the expected ones"
  for pair in "$@"; do
    cmp -s "$drive/${pair%%=*}" "$payload/${pair#*=}" || fail "$name: C:/${pair%%=*} is not the zip's ${pair#*=}"
  done
  for pair in "$@" "$program/uninstall.exe="; do
    size=$(stat -c %s "$drive/${pair%%=*}")
    kib=$((kib + (size + 1023) / 1024))
  done
  [ "$(reg_value "$uninstall_key" EstimatedSize)" = "$(printf '0x%x' $kib)" ] \
    || fail "$name: EstimatedSize $(reg_value "$uninstall_key" EstimatedSize) is not the files' $kib KiB"
}

"$wine" wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot failed"; }
"$wineserver" -w
tree >"$work/fresh.tree"
registry >"$work/fresh.registry"
fresh_path=$(reg_value "$environment_key" Path)
[ -n "$fresh_path" ] || fail "the fresh prefix has no PATH"
step "a fresh Wine prefix"

vst3='Program Files/Common Files/VST3/Tarvel.vst3'
bundle=("$vst3/Contents/x86_64-win/Tarvel.vst3=Tarvel.vst3/Contents/x86_64-win/Tarvel.vst3"
        "$vst3/Contents/Resources/moduleinfo.json=Tarvel.vst3/Contents/Resources/moduleinfo.json")
program=("Program Files/Tarvel/LICENSE.txt=LICENSE.txt" "Program Files/Tarvel/README.txt=README.txt")
render=("Program Files/Tarvel/tarvel-render.exe=tarvel-render.exe" "Program Files/Tarvel/Tarvel.dll=Tarvel.dll")
clap="Program Files/Common Files/CLAP/Tarvel.clap=Tarvel.clap"
default=("${bundle[@]}" "Program Files/VSTPlugins/Tarvel.dll=Tarvel.dll" "$clap" "${program[@]}" "${render[@]}")

install default
installed_as default "Program Files/Tarvel" "${default[@]}"
for pair in 'DisplayName=Tarvel' 'DisplayVersion=1.0.0' 'Publisher=Corvane' \
            'UninstallString="C:\Program Files\Tarvel\uninstall.exe"' \
            'QuietUninstallString="C:\Program Files\Tarvel\uninstall.exe" /S'; do
  [ "$(reg_value "$uninstall_key" "${pair%%=*}")" = "${pair#*=}" ] \
    || fail "the uninstall entry's ${pair%%=*} is '$(reg_value "$uninstall_key" "${pair%%=*}")', not '${pair#*=}'"
done
[ "$(reg_value "$environment_key" Path)" = "$fresh_path" ] || fail "the default install changed the PATH"
step "silent install: every file in place, the uninstall entry"

"$wine" "$helper" load 'C:\Program Files\VSTPlugins\Tarvel.dll' 'C:\Program Files\Common Files\VST3\Tarvel.vst3' \
  'C:\Program Files\Common Files\CLAP\Tarvel.clap' >"$work/load.log" 2>&1 || { cat "$work/load.log"; fail "the installed plug-ins do not load in our test hosts"; }
"$wine" 'C:\Program Files\Tarvel\tarvel-render.exe' --response "$(windows_path "$work/response.csv")" \
  >"$work/render.log" 2>&1 && [ -s "$work/response.csv" ] \
  || { cat "$work/render.log"; fail "the installed tarvel-render does not render with the DLL beside it"; }
step "the installed plug-ins load in the test hosts; tarvel-render renders"

# An earlier install: other bytes in the modules, an older version.
printf 'earlier' >>"$drive/Program Files/VSTPlugins/Tarvel.dll"
printf 'earlier' >>"$drive/$vst3/Contents/x86_64-win/Tarvel.vst3"
printf 'earlier' >>"$drive/${clap%%=*}"
printf '{}' >"$drive/$vst3/Contents/Resources/moduleinfo.json"
"$wine" reg add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 0.9.0 /f >/dev/null 2>&1 || fail "reg add failed"
state >"$work/earlier.state"
# hold MODULE: our test host keeps it loaded until release.
hold() {
  rm -f "$work/held"
  "$wine" "$helper" hold "$1" "$(windows_path "$work/held")" >"$work/hold.log" 2>&1 &
  holder=$!
  for _ in $(seq 200); do [ -f "$work/held" ] && return 0; kill -0 $holder 2>/dev/null || break; sleep 0.05; done
  cat "$work/hold.log"
  fail "the test host does not hold $1"
}
release() { rm -f "$work/held"; wait "$holder" || fail "the test host failed"; holder=""; }
refused() {  # CODE NAME LINE: the command must exit with CODE and change nothing
  local status=0
  run "$2" "$3" || status=$?
  [ $status = "$1" ] || { cat "$work/$2.log"; fail "$2: exit code $status, not $1"; }
  state | diff "$work/earlier.state" - >"$work/$2.diff" || { cat "$work/$2.diff"; fail "$2: changed what was installed"; }
}
hold 'C:\Program Files\VSTPlugins\Tarvel.dll'
refused 3 refused-install "$setup_exe /S"
refused 3 refused-uninstall '"C:\Program Files\Tarvel\uninstall.exe" /S _?=C:\Program Files\Tarvel'
release
hold 'C:\Program Files\Common Files\VST3\Tarvel.vst3'
refused 3 refused-install-vst3 "$setup_exe /S"
release
hold 'C:\Program Files\Common Files\CLAP\Tarvel.clap'
refused 3 refused-install-clap "$setup_exe /S"
release
refused 2 unknown-component "$setup_exe /S /COMPONENTS=vst3,vts2"
step "refused while the test host holds a module, or for an unknown component"

# Hosts' own VST 2.4 folder, read by the next fresh install; the upgrade
# stays with the folder of the install it upgrades.
"$wine" reg add 'HKLM\Software\VST' /v VSTPluginsPath /t REG_SZ /d 'C:\VST Plugins' /f >/dev/null 2>&1 || fail "reg add failed"
install upgrade
installed_as upgrade "Program Files/Tarvel" "${default[@]}"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = 1.0.0 ] || fail "the upgrade left the version of the earlier install"
step "upgrade over an earlier install"

install choice '/COMPONENTS=vst2,path /VST2DIR="C:\Audio Plugins\VST2"'
installed_as choice "Program Files/Tarvel" "Audio Plugins/VST2/Tarvel.dll=Tarvel.dll" "${program[@]}" "${render[@]}"
[ "$(reg_value "$environment_key" Path)" = "$fresh_path;C:\Program Files\Tarvel" ] \
  || fail "the PATH is '$(reg_value "$environment_key" Path)', not the fresh one with the program folder after it"
step "a component choice: VST 2.4 moved, no VST3, the renderer on the PATH"

# uninstall NAME: the entry's QuietUninstallString, exactly; it returns at
# once, its copy in Temp does the work.
uninstall() {
  local command
  command=$(reg_value "$uninstall_key" QuietUninstallString)
  run "$1" "$command" || { cat "$work/$1.log"; fail "$1: $command failed"; }
  "$wineserver" -w
}
uninstall uninstall-choice
tree | diff "$work/fresh.tree" - || fail "the uninstall left files or folders"
[ "$(reg_value "$environment_key" Path)" = "$fresh_path" ] || fail "the uninstall did not restore the PATH"
"$wine" reg query 'HKLM\Software\Corvane' >/dev/null 2>&1 && fail "the uninstall left HKLM\\Software\\Corvane"
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "the uninstall left its entry"
step "silent uninstall: no file, no folder, the PATH as it was"

fresh_dir=("${bundle[@]}" "VST Plugins/Tarvel.dll=Tarvel.dll" "Tools/Tarvel Test/LICENSE.txt=LICENSE.txt"
           "Tools/Tarvel Test/README.txt=README.txt")
install fresh-dir '/COMPONENTS=vst3,vst2 /D=C:\Tools\Tarvel Test'
installed_as fresh-dir "Tools/Tarvel Test" "${fresh_dir[@]}"
# Without options an upgrade keeps the components and the program folder.
install keep
installed_as keep "Tools/Tarvel Test" "${fresh_dir[@]}"
"$wine" reg delete 'HKLM\Software\VST' /f >/dev/null 2>&1 || fail "reg delete failed"
uninstall uninstall-fresh-dir
"$wine" wineboot -r >"$work/reboot.log" 2>&1 || { cat "$work/reboot.log"; fail "wineboot -r failed"; }
tree | diff "$work/fresh.tree" - || fail "the uninstall left files or folders"
registry | diff "$work/fresh.registry" - || fail "the registry is not the fresh prefix's after the uninstall"
step "/D= and VSTPluginsPath, kept by an upgrade; uninstalled: C: and registry as fresh"
echo "installer: $(basename "$setup") ($(stat -c %s "$setup") bytes) installs, upgrades, refuses and uninstalls cleanly"
