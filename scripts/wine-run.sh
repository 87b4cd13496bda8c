#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the project's own prefix.
export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/tarvel-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
