# Sourced by the Ardour checks: ardour_export OUTPUT SESSION_DIR NAME LOG
# exports the session range to OUTPUT (32-bit float) with ardour7-export.
#
# ardour7-export (Ardour 7.3) now and then dies of heap corruption inside
# Ardour itself (an abort in ~PortExportChannel, or a segfault) at the start
# of an export: 3 exports in 20 of a session with no plug-in at all on a
# 2-core machine, and as often with Tarvel in any format; valgrind finds no
# error with Tarvel loaded. So a death by signal is reported and the export
# run again, up to four attempts; any other failure fails at once.
ardour_export() {
  local output=$1 session=$2 name=$3 log=$4 attempt status
  for attempt in 1 2 3 4; do
    status=0
    /usr/bin/ardour7-export -b float -o "$output" "$session" "$name" >"$log" 2>&1 || status=$?
    [ "$status" -gt 128 ] || break
    echo "ardour: ardour7-export died by signal $((status - 128)) (attempt $attempt)"
  done
  [ "$status" -eq 0 ] || cat "$log"
  return "$status"
}
