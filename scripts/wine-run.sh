#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the project's own prefix.
source "$(dirname "$0")/wine-env.sh"
exec /usr/lib/wine/wine64 "$@"
