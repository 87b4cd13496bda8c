# Sourced by the bash checks that drive a real host or installer: timed steps,
# failure, and the editor's picture read off the screen. Set check_name (the
# word that starts every line) before sourcing.

check_started=$(date +%s%N)

step() {  # what was done, and the time since the check started
  local ms=$(( ($(date +%s%N) - check_started) / 1000000 ))
  printf '%s: %-66s %3d.%03d s\n' "$check_name" "$1" $((ms / 1000)) $((ms % 1000))
}

fail() { echo "$check_name: $*"; exit 1; }

# check_editor WINDOW FOLDER HELPER [PREFIX]: two captures of the window a
# second apart must both follow the picture's formula (HELPER is
# ardour_helper, which reads the frame off a capture), at different frames: the
# editor ticks. Leaves "A and B" in editor_frames; PREFIX starts the failures.
check_editor() {
  local shot frames=()
  for shot in 1 2; do
    sleep 1
    /usr/bin/import -window "$1" "$2/editor$shot.png"
    /usr/bin/convert "$2/editor$shot.png" -depth 8 "rgb:$2/editor$shot.rgb"
    frames+=("$("$3" picture "$2/editor$shot.rgb" | sed -n 's/^picture at frame \([0-9]*\) .*/\1/p')")
  done
  [ -n "${frames[0]}" ] && [ -n "${frames[1]}" ] || fail "${4:-}an editor capture is off the picture's formula"
  [ "${frames[0]}" != "${frames[1]}" ] || fail "${4:-}the editor did not tick (frame ${frames[0]} twice)"
  editor_frames="${frames[0]} and ${frames[1]}"
}
